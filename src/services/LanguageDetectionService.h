#pragma once

#include <QString>
#include <QStringList>

// The language a text is written in, through the platform's recogniser.
class LanguageDetectionService {
public:
    // The dominant language as a code of the language table, or "auto" when none is found. A selection of
    // up to three words all only Turkish or only English is that language; where the recogniser's answer
    // is outside the table, the stored source and target languages and then the system language steer it.
    static QString detectLanguage(const QString& text);

    // A recogniser's code (ISO 639-1 or -3, with or without script or region) as a code of the language
    // table: "zh", "zh-Hans" → "zh-cn", "zh-Hant" → "zh-tw", "he" → "iw", "haw" stays "haw"; "auto" when
    // the table has no such language.
    static QString normalizeLanguageCode(const QString& code);

    // The table codes of `languages` as the recogniser names them, "auto" and unknown ones left out.
    static QStringList recognizerHints(const QStringList& languages);
};

#pragma once

#include <QString>
#include <QStringList>

// The dominant language of a text, as a language code (e.g. "en", "zh-Hant"), or empty when the
// recogniser has no answer at all.
class LanguageRecognizer {
public:
    virtual ~LanguageRecognizer() = default;
    // `hints` are languages the text is likely in (codes as the recogniser names them), most likely first;
    // given, they steer the answer towards them, which settles words the text alone cannot place.
    virtual QString dominantLanguage(const QString& text, const QStringList& hints) const = 0;
};

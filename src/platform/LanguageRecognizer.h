#pragma once

#include <QString>
#include <QStringList>

// The dominant language of a text, as a language code (e.g. "en", "zh-Hant"), or empty when the
// recogniser has no answer at all.
class LanguageRecognizer {
public:
    virtual ~LanguageRecognizer() = default;
    // `hints` are languages the text is likely in (codes as the recogniser names them); they settle
    // single words and short phrases, which carry too little text on their own.
    virtual QString dominantLanguage(const QString& text, const QStringList& hints) const = 0;
};

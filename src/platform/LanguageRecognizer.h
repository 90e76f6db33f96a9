#pragma once

#include <QString>

// The dominant language of a text, as a language code (e.g. "en", "zh-Hant"), or empty when the
// recogniser finds none or is not confident.
class LanguageRecognizer {
public:
    virtual ~LanguageRecognizer() = default;
    virtual QString dominantLanguage(const QString& text) const = 0;
};

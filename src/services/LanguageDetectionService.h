#pragma once

#include <QString>

// The language a text is written in, through the platform's recogniser.
class LanguageDetectionService {
public:
    // The dominant language as a normalised code, or "auto" when the recogniser finds none.
    static QString detectLanguage(const QString& text);

    // Keeps "en", "tr", "fr", "de", "es", "it", "pt", "ru", "zh", "ja", "ko", "ar", "hi" as they are,
    // cuts any other code to its first two characters, and gives "auto" for codes shorter than two.
    static QString normalizeLanguageCode(const QString& code);
};

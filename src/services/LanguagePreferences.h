#pragma once

#include "services/Language.h"

#include <QString>
#include <optional>

// The user's stored source and target language: the settings keys, their defaults and the fallbacks
// every road reads them through. An empty stored code counts as none.
class LanguagePreferences {
public:
    static inline const QString sourceKey = QStringLiteral("defaultSourceLanguage");
    static inline const QString targetKey = QStringLiteral("defaultTargetLanguage");
    static inline const QString defaultSourceCode = QStringLiteral("tr");

    // The stored codes as they are, none when missing.
    static std::optional<QString> storedSource();
    static std::optional<QString> storedTarget();

    // The stored source, else "tr"; the stored target, else the system language.
    static QString sourceCode();
    static QString targetCode();
    // The same through the language table: an unknown source is "Automatic", an unknown or "auto"
    // target English.
    static Language source();
    static Language target();

    static void setSource(const QString& code);
    static void setTarget(const QString& code);

    // How targetFor() treats codes.
    enum TargetRule {
        // Codes as stored: an unknown one is sent as it is.
        AsStored = 0,
        // Codes through the table before comparing: an unknown or "auto" target is English.
        ThroughTable = 1,
        // A text does not go to its own language through a default (no stored source, or "auto"):
        // English and Turkish stand in for each other. A stored source equal to it is kept.
        NeverTheTextsLanguage = 2,
    };
    // Where a text in `detected` goes: `target`, unless the text is already in it; then the stored
    // source, with "auto" read as English.
    static QString targetFor(const QString& detected, const QString& target, int rules);
};

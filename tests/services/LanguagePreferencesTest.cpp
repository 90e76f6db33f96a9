#include "services/LanguagePreferences.h"

#include "platform/UserDefaults.h"
#include "services/SystemLanguage.h"

#include <gtest/gtest.h>
#include <optional>

namespace {

using Stored = std::optional<const char*>;

void store(const QString& key, Stored value) {
    if (value)
        UserDefaults::standard().set(key, QString::fromUtf8(*value));
    else
        UserDefaults::standard().remove(key);
}

// "=sys" in a table stands for the system language.
QString code(const char* text) {
    const QString value = QString::fromUtf8(text);
    return value == QLatin1String("=sys") ? systemLanguageCode() : value;
}

} // namespace

TEST(LanguagePreferences, StoredLanguagesAndTheirFallbacks) {
    struct Case {
        Stored source;
        Stored target;
        const char* sourceCode;
        const char* targetCode;
        const char* sourceLanguage;
        const char* targetLanguage;
    } cases[] = {
        {std::nullopt, std::nullopt, "tr", "=sys", "tr", "=sys"},
        {"de", "ja", "de", "ja", "de", "ja"},
        {"auto", "auto", "auto", "auto", "auto", "en"},
        {"zz", "not-a-code", "zz", "not-a-code", "auto", "en"},
        // An empty stored code is no code.
        {"", "", "tr", "=sys", "tr", "=sys"},
    };
    for (const Case& c : cases) {
        store(QStringLiteral("defaultSourceLanguage"), c.source);
        store(QStringLiteral("defaultTargetLanguage"), c.target);
        const std::string row = std::string(c.source.value_or("none")) + "/" + c.target.value_or("none");
        EXPECT_EQ(LanguagePreferences::sourceCode(), code(c.sourceCode)) << row;
        EXPECT_EQ(LanguagePreferences::targetCode(), code(c.targetCode)) << row;
        EXPECT_EQ(LanguagePreferences::source().code, code(c.sourceLanguage)) << row;
        EXPECT_EQ(LanguagePreferences::target().code, code(c.targetLanguage)) << row;
        EXPECT_EQ(LanguagePreferences::storedSource().has_value(), c.source && **c.source) << row;
    }

    LanguagePreferences::setSource(QStringLiteral("auto"));
    LanguagePreferences::setTarget(QStringLiteral("zh-tw"));
    EXPECT_EQ(UserDefaults::standard().string(QStringLiteral("defaultSourceLanguage")), QStringLiteral("auto"));
    EXPECT_EQ(UserDefaults::standard().string(QStringLiteral("defaultTargetLanguage")), QStringLiteral("zh-tw"));
}

TEST(LanguagePreferences, TargetForATextAlreadyInTheTarget) {
    constexpr int bar = LanguagePreferences::ThroughTable;
    constexpr int shortcut = LanguagePreferences::NeverTheTextsLanguage;
    struct Case {
        const char* detected;
        const char* target;
        Stored source;
        int rules;
        const char* expected;
    } cases[] = {
        {"en", "de", "fr", bar, "de"},
        {"de", "de", "fr", bar, "fr"},
        {"de", "de", "auto", bar, "en"},
        {"de", "de", std::nullopt, bar, "tr"},
        // Through the table an unknown or "auto" target is English, so English text goes to the source.
        {"en", "xx", "fr", bar, "fr"},
        {"en", "auto", "fr", bar, "fr"},
        {"de", "xx", "fr", bar, "en"},
        {"de", "de", "de", bar, "de"},
        {"de", "de", "xx", bar, "en"},
        {"de", "en", "fr", shortcut, "en"},
        {"auto", "tr", std::nullopt, shortcut, "tr"},
        {"de", "de", "fr", shortcut, "fr"},
        {"de", "de", "auto", shortcut, "en"},
        {"de", "de", std::nullopt, shortcut, "tr"},
        {"de", "de", "xx", shortcut, "xx"},
        {"en", "xx", "fr", shortcut, "xx"},
        // Not into its own language through a default: Turkish and English stand in for each other.
        {"tr", "tr", std::nullopt, shortcut, "en"},
        {"en", "en", "auto", shortcut, "tr"},
        // The user's own stored source is kept.
        {"tr", "tr", "tr", shortcut, "tr"},
        {"de", "de", "de", shortcut, "de"},
        {"de", "de", "de", LanguagePreferences::AsStored, "de"},
    };
    for (const Case& c : cases) {
        store(QStringLiteral("defaultSourceLanguage"), c.source);
        EXPECT_EQ(LanguagePreferences::targetFor(QString::fromUtf8(c.detected), QString::fromUtf8(c.target), c.rules),
                  QString::fromUtf8(c.expected))
            << c.detected << " → " << c.target << " source " << c.source.value_or("none") << " rules " << c.rules;
    }
}

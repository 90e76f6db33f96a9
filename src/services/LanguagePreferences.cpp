#include "services/LanguagePreferences.h"

#include "platform/UserDefaults.h"
#include "services/SystemLanguage.h"

namespace {

std::optional<QString> stored(const QString& key) {
    std::optional<QString> value = UserDefaults::standard().optionalString(key);
    if (value && value->isEmpty())
        return std::nullopt;
    return value;
}

} // namespace

std::optional<QString> LanguagePreferences::storedSource() {
    return stored(sourceKey);
}

std::optional<QString> LanguagePreferences::storedTarget() {
    return stored(targetKey);
}

QString LanguagePreferences::sourceCode() {
    return storedSource().value_or(defaultSourceCode);
}

QString LanguagePreferences::targetCode() {
    return storedTarget().value_or(systemLanguageCode());
}

Language LanguagePreferences::source() {
    return Language::find(sourceCode());
}

Language LanguagePreferences::target() {
    return Language::findTarget(targetCode());
}

void LanguagePreferences::setSource(const QString& code) {
    UserDefaults::standard().set(sourceKey, code);
}

void LanguagePreferences::setTarget(const QString& code) {
    UserDefaults::standard().set(targetKey, code);
}

QString LanguagePreferences::targetFor(const QString& detected, const QString& target, int rules) {
    const auto table = [rules](const QString& code) {
        return rules & ThroughTable ? Language::findTarget(code).code : code;
    };
    const QString wanted = table(target);
    if (wanted != detected)
        return wanted;
    const QString source = sourceCode();
    QString fallback = table(source == Language::automaticCode ? Language::englishCode : source);
    // A source the user stored as the text's language is a choice, not a default standing in.
    if (rules & NeverTheTextsLanguage && fallback == detected && storedSource() != detected)
        fallback = detected == Language::englishCode ? defaultSourceCode : Language::englishCode;
    return fallback;
}

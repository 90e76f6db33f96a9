#include "services/LanguageDetectionService.h"

#include "platform/LanguageRecognizer.h"
#include "platform/Platform.h"
#include "platform/UserDefaults.h"
#include "services/Language.h"
#include "services/SystemLanguage.h"

#include <QHash>

namespace {

// Codes the table spells differently from the recogniser (older ISO codes, script subtags).
const QHash<QString, QString>& aliases() {
    static const QHash<QString, QString> table = {
        {QStringLiteral("zh"), QStringLiteral("zh-cn")},     {QStringLiteral("zh-hans"), QStringLiteral("zh-cn")},
        {QStringLiteral("zh-hant"), QStringLiteral("zh-tw")}, {QStringLiteral("zh-tw"), QStringLiteral("zh-tw")},
        {QStringLiteral("zh-hk"), QStringLiteral("zh-tw")},   {QStringLiteral("he"), QStringLiteral("iw")},
        {QStringLiteral("jv"), QStringLiteral("jw")},         {QStringLiteral("fil"), QStringLiteral("tl")},
        {QStringLiteral("nb"), QStringLiteral("no")},         {QStringLiteral("nn"), QStringLiteral("no")},
    };
    return table;
}

} // namespace

QString LanguageDetectionService::detectLanguage(const QString& text) {
    if (text.isEmpty() || !hasPlatform())
        return Language::automaticCode;
    const UserDefaults& defaults = UserDefaults::standard();
    // Most likely first: the desktop's language, then what the user translates from, and last what they
    // translate into (text already in it is the rarer case).
    QStringList likely{systemLanguageCode()};
    for (const char* key : {"defaultSourceLanguage", "defaultTargetLanguage"}) {
        if (const std::optional<QString> stored = defaults.optionalString(QLatin1String(key)))
            likely << *stored;
    }
    const QString dominant = platform().languageRecognizer().dominantLanguage(text, recognizerHints(likely));
    if (dominant.isEmpty())
        return Language::automaticCode;
    return normalizeLanguageCode(dominant);
}

QString LanguageDetectionService::normalizeLanguageCode(const QString& code) {
    const QString lower = code.toLower().replace(QLatin1Char('_'), QLatin1Char('-'));
    if (lower.isEmpty() || lower == Language::automaticCode)
        return Language::automaticCode;
    if (const auto alias = aliases().constFind(lower); alias != aliases().constEnd())
        return *alias;
    if (!Language::find(lower).isAutomatic())
        return lower;
    // A region or script the table does not tell apart ("pt-BR", "sr-Latn") is its language.
    if (lower.contains(QLatin1Char('-')))
        return normalizeLanguageCode(lower.section(QLatin1Char('-'), 0, -2));
    return Language::automaticCode;
}

QStringList LanguageDetectionService::recognizerHints(const QStringList& languages) {
    QStringList hints;
    for (const QString& code : languages) {
        if (Language::find(code).isAutomatic())
            continue;
        const QString hint = code == QLatin1String("zh-cn")   ? QStringLiteral("zh")
                             : code == QLatin1String("zh-tw") ? QStringLiteral("zh-Hant")
                                                              : code;
        if (!hints.contains(hint))
            hints << hint;
    }
    return hints;
}

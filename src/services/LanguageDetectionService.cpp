#include "services/LanguageDetectionService.h"

#include "platform/LanguageRecognizer.h"
#include "platform/Platform.h"

#include <QSet>

QString LanguageDetectionService::detectLanguage(const QString& text) {
    if (text.isEmpty() || !hasPlatform())
        return QStringLiteral("auto");
    const QString dominant = platform().languageRecognizer().dominantLanguage(text);
    if (dominant.isEmpty())
        return QStringLiteral("auto");
    return normalizeLanguageCode(dominant);
}

QString LanguageDetectionService::normalizeLanguageCode(const QString& code) {
    static const QSet<QString> kept = {
        QStringLiteral("en"), QStringLiteral("tr"), QStringLiteral("fr"), QStringLiteral("de"),
        QStringLiteral("es"), QStringLiteral("it"), QStringLiteral("pt"), QStringLiteral("ru"),
        QStringLiteral("zh"), QStringLiteral("ja"), QStringLiteral("ko"), QStringLiteral("ar"),
        QStringLiteral("hi"),
    };
    if (kept.contains(code))
        return code;
    if (code.size() < 2)
        return QStringLiteral("auto");
    return code.left(2);
}

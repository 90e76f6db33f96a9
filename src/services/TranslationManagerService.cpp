#include "services/TranslationManagerService.h"

#include "platform/DebugLog.h"
#include "platform/UserDefaults.h"
#include "services/LanguagePreferences.h"
#include "services/RewriteRequest.h"
#include "services/TranslationManager.h"

#include <QPointer>
#include <QTextBoundaryFinder>

namespace {

const QString kTag = QStringLiteral("TranslationManagerService");
const QString kServiceKey = QStringLiteral("defaultTranslationService");

} // namespace

TranslationManagerService& TranslationManagerService::shared() {
    static TranslationManagerService* instance = new TranslationManagerService;
    return *instance;
}

TranslationManagerService::TranslationManagerService() = default;

int TranslationManagerService::characterCount(const QString& text, int limit) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (count <= limit && finder.toNextBoundary() >= 0)
        ++count;
    return count;
}

RequestId TranslationManagerService::translate(const QString& text, const Language& source,
                                               const Language& target, TranslateCompletion completion,
                                               QObject* context) {
    return translate(text, source, target,
                     translationServiceOrDefault(UserDefaults::standard().string(kServiceKey)),
                     std::move(completion), context);
}

RequestId TranslationManagerService::translate(const QString& text, const Language& source,
                                               const Language& target, TranslationService provider,
                                               TranslateCompletion completion, QObject* context) {
    using R = Result<TranslationResponse, TranslationError>;
    auto refuse = [&](TranslationError error) {
        debugLog(kTag, QStringLiteral("⚠️ %1").arg(error.localizedDescription()));
        return WebApiClient::shared().fail(
            error,
            [completion = std::move(completion)](Result<QJsonObject, TranslationError> result) {
                completion(R::failure(result.error()));
            },
            context);
    };
    if (text.isEmpty())
        return refuse(TranslationError::emptyText());
    if (characterCount(text) > maximumTextLength)
        return refuse(TranslationError::textTooLong());

    return TranslationManager::shared().translateText(text, source.code, target.code, provider,
                                                      QStringLiteral("menu"), QStringLiteral("translate"),
                                                      std::move(completion), context);
}

RequestId TranslationManagerService::rewriteText(const QString& text, const QString& style,
                                                 const QString& provider, const QString& triggerSource,
                                                 RewriteCompletion completion, QObject* context) {
    using R = Result<RewriteResponse, TranslationError>;
    const bool hasContext = context != nullptr;
    QPointer<QObject> guard(context);
    const QString path =
        QStringLiteral("/api/translate/%1/rewrite").arg(rawValue(translationServiceOrDefault(provider)));
    return WebApiClient::shared().post(
        path, RewriteRequest{text, style}.toJson(), triggerSource, QStringLiteral("rewrite"),
        WebApiClient::defaultTimeoutMs,
        [hasContext, guard,
         completion = std::move(completion)](Result<QJsonObject, TranslationError> result) {
            if (hasContext && guard.isNull())
                return;
            if (!result) {
                completion(R::failure(result.error()));
                return;
            }
            std::optional<RewriteResponse> response = RewriteResponse::fromJson(result.value());
            if (!response) {
                debugLog(kTag, QStringLiteral("❌ Yeniden yazma yanıtı çözümlenemedi"));
                completion(R::failure(TranslationError::decodingError()));
                return;
            }
            completion(R::success(std::move(*response)));
        },
        context);
}

void TranslationManagerService::cancel(RequestId id) {
    TranslationManager::shared().cancel(id);
    WebApiClient::shared().cancel(id);
}

TranslationManagerService::DefaultSettings TranslationManagerService::loadDefaultSettings() const {
    const UserDefaults& defaults = UserDefaults::standard();
    DefaultSettings settings;
    settings.source = LanguagePreferences::source();
    settings.target = LanguagePreferences::target();
    settings.provider = translationServiceOrDefault(defaults.optionalString(kServiceKey).value_or(QString()));
    return settings;
}

void TranslationManagerService::saveDefaultSettings(const Language& source, const Language& target,
                                                    TranslationService provider) {
    LanguagePreferences::setSource(source.code);
    LanguagePreferences::setTarget(target.code);
    UserDefaults::standard().set(kServiceKey, rawValue(provider));
}

#include "services/WebApiClient.h"

#include "platform/DebugLog.h"
#include "platform/HostAddress.h"
#include "platform/MainQueue.h"
#include "platform/NetworkModule.h"
#include "platform/UserDefaults.h"
#include "services/AppVersion.h"
#include "services/RequestEnvelope.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QTimer>

#ifndef QUILLORA_API_BASE_URL
#define QUILLORA_API_BASE_URL ""
#endif

namespace {

const QString kTag = QStringLiteral("WebApiClient");
constexpr int kMaximumErrorMessageLength = 500;

std::optional<int>& timeoutOverride() {
    static std::optional<int> value;
    return value;
}

QString serverMessage(const QByteArray& body, const HttpTransfer& reply, int status) {
    const QJsonDocument document = QJsonDocument::fromJson(body);
    QString message;
    if (document.isObject())
        message = document.object().value(QStringLiteral("error")).toString().trimmed();
    if (message.isEmpty())
        message = reply.reasonPhrase().trimmed();
    if (message.isEmpty())
        message = QStringLiteral("HTTP %1").arg(status);
    if (message.size() > kMaximumErrorMessageLength)
        message = message.left(kMaximumErrorMessageLength) + QStringLiteral("…");
    return message;
}

} // namespace

WebApiClient& WebApiClient::shared() {
    // Lives for the whole process, like the network stack it owns.
    static WebApiClient* instance = new WebApiClient;
    return *instance;
}

WebApiClient::WebApiClient(QObject* parent)
    : QObject(parent) {}

void WebApiClient::setTimeoutOverrideForTesting(std::optional<int> timeoutMs) {
    timeoutOverride() = timeoutMs;
}

std::optional<QUrl> WebApiClient::validatedBaseUrl(const QString& text) {
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.hasQuery() || url.hasFragment())
        return std::nullopt;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return url;
    if (scheme == QLatin1String("http") && isLoopbackHost(url.host()))
        return url;
    return std::nullopt;
}

std::optional<QUrl> WebApiClient::baseUrl() {
    // scripts/run.sh points one process at the local stand-in without touching the user's settings.
    const QString devOverride = qEnvironmentVariable("QUILLORA_DEV_API_URL").trimmed();
    if (!devOverride.isEmpty())
        return validatedBaseUrl(devOverride);
    const QString configured = UserDefaults::standard().string(QStringLiteral("apiBaseURL")).trimmed();
    return validatedBaseUrl(configured.isEmpty() ? QStringLiteral(QUILLORA_API_BASE_URL) : configured);
}

RequestId WebApiClient::post(const QString& path, QJsonObject body, const QString& triggerSource,
                             const std::optional<QString>& processType, int timeoutMs, Completion completion,
                             QObject* context) {
    Q_ASSERT(MainQueue::isMainThread());
    const std::optional<QUrl> base = baseUrl();
    if (!base) {
        debugLog(kTag, QStringLiteral("❌ Geçersiz API adresi"));
        return fail(TranslationError::invalidUrl(), std::move(completion), context);
    }
    if (!m_network)
        m_network = NetworkModule::createClient(this);
    if (!m_network)
        return fail(TranslationError::network(QStringLiteral("The network module could not be loaded.")),
                    std::move(completion), context);
    Pending pending;
    const RequestId id = track(std::move(completion), context, pending);

    QUrl url = *base;
    QString basePath = url.path();
    while (basePath.endsWith(QLatin1Char('/')))
        basePath.chop(1);
    url.setPath(basePath + (path.startsWith(QLatin1Char('/')) ? path : QLatin1Char('/') + path));

    const RequestEnvelope envelope = RequestEnvelope::make(triggerSource, processType);

    HttpRequest request;
    request.method = HttpRequest::Method::Post;
    request.url = url;
    request.headers = {{"Content-Type", "application/json"},
                       {"Accept", "application/json"},
                       {"User-Agent", QStringLiteral("Quillora/%1").arg(envelope.appVersion).toUtf8()}};
    request.body = envelope.encode(body);
    // A redirect could carry the signed body to another host, perhaps in clear; treat it as an answer.
    request.redirects = HttpRequest::Redirects::Refused;
    request.maximumBytes = maximumResponseBytes(path);
    HttpTransfer* reply = m_network->send(request);
    pending.reply = reply;
    connect(reply, &HttpTransfer::finished, reply, &QObject::deleteLater);
    connect(reply, &HttpTransfer::finished, this, [this, id] { onFinished(id); });

    auto* timer = new QTimer(reply);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, id] {
        auto it = m_pending.find(id);
        if (it == m_pending.end() || !it->second.reply)
            return;
        debugLog(kTag, QStringLiteral("⏱️ İstek zaman aşımına uğradı"));
        it->second.timedOut = true;
        it->second.reply->abort();
    });
    timer->start(std::max(1, timeoutOverride().value_or(timeoutMs)));
    pending.timer = timer;

    m_pending.emplace(id, std::move(pending));
    debugLog(kTag, QStringLiteral("🌐 POST %1").arg(url.toString(QUrl::RemoveUserInfo)));
    return id;
}

qint64 WebApiClient::maximumResponseBytes(const QString& path) {
    return path.endsWith(QLatin1String("/api/tts")) ? maximumSpeechAnswerBytes : maximumTextAnswerBytes;
}

RequestId WebApiClient::track(Completion completion, QObject* context, Pending& pending) {
    const RequestId id = m_nextId++;
    pending.completion = std::move(completion);
    pending.context = context;
    pending.hasContext = context != nullptr;
    if (context)
        pending.contextConnection = connect(context, &QObject::destroyed, this, [this, id] { cancel(id); });
    return id;
}

RequestId WebApiClient::fail(TranslationError error, Completion completion, QObject* context) {
    Pending pending;
    const RequestId id = track(std::move(completion), context, pending);
    m_pending.emplace(id, std::move(pending));
    MainQueue::async([this, id, error] { finish(id, Result<QJsonObject, TranslationError>::failure(error)); },
                     this);
    return id;
}

void WebApiClient::cancel(RequestId id) {
    auto it = m_pending.find(id);
    if (it == m_pending.end())
        return;
    QPointer<HttpTransfer> reply = it->second.reply;
    disconnect(it->second.contextConnection);
    m_pending.erase(it);
    if (reply)
        reply->abort();
}

void WebApiClient::onFinished(RequestId id) {
    auto it = m_pending.find(id);
    if (it == m_pending.end() || !it->second.reply)
        return;
    finish(id, interpret(*it->second.reply, it->second));
}

Result<QJsonObject, TranslationError> WebApiClient::interpret(HttpTransfer& reply, const Pending& pending) {
    using R = Result<QJsonObject, TranslationError>;
    if (pending.timedOut)
        return R::failure(TranslationError::timedOut());
    // Too large for its endpoint, or the content coding could not be undone: the answer is unusable.
    if (reply.failure() == HttpTransfer::Failure::TooLarge ||
        reply.failure() == HttpTransfer::Failure::UnusableContent)
        return R::failure(TranslationError::invalidResponse());

    const std::optional<int> answeredStatus = reply.status();
    // Transport failures (connection, TLS, proxy, protocol) as opposed to an answer with an error status.
    if (!answeredStatus ||
        (reply.failure() != HttpTransfer::Failure::None && reply.failure() != HttpTransfer::Failure::HttpStatus))
        return R::failure(TranslationError::network(reply.errorString()));

    const int status = *answeredStatus;
    const QByteArray data = reply.readAll();
    if (status < 200 || status > 299)
        return R::failure(TranslationError::server(serverMessage(data, reply, status), status));
    if (data.isEmpty())
        return R::failure(TranslationError::noResponse());

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return R::failure(TranslationError::invalidResponse());
    return R::success(document.object());
}

void WebApiClient::finish(RequestId id, Result<QJsonObject, TranslationError> result) {
    auto it = m_pending.find(id);
    if (it == m_pending.end())
        return;
    Pending pending = std::move(it->second);
    m_pending.erase(it);
    disconnect(pending.contextConnection);
    if (pending.timer)
        pending.timer->stop();
    if (!result)
        debugLog(kTag, QStringLiteral("❌ %1").arg(result.error().localizedDescription()));
    if (pending.hasContext && pending.context.isNull())
        return;
    if (pending.completion)
        pending.completion(std::move(result));
}

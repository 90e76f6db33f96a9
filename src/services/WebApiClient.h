#pragma once

#include "platform/Result.h"
#include "services/TranslationError.h"

#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>
#include <unordered_map>

class HttpClient;
class HttpTransfer;
class QTimer;

// Identifies one request so its owner can cancel it or recognise an outdated answer. 0 is never used.
using RequestId = quint64;

// The signed JSON transport to the product's web API. All clients (translate, rewrite, speech, OCR) go
// through post(): it adds the envelope, resolves the base URL, enforces the time-out and turns every
// failure into a TranslationError.
class WebApiClient : public QObject {
    Q_OBJECT
public:
    using Completion = std::function<void(Result<QJsonObject, TranslationError>)>;

    static constexpr int defaultTimeoutMs = 30000;
    // Answers larger than their endpoint can legitimately send are refused as invalid rather than
    // buffered, parsed and shown on the UI thread: text answers (a translation of at most 5000
    // characters with its alternatives and examples, a rewrite, recognised text) and speech audio.
    static constexpr qint64 maximumTextAnswerBytes = 2 * 1024 * 1024;
    static constexpr qint64 maximumSpeechAnswerBytes = 16 * 1024 * 1024;
    static qint64 maximumResponseBytes(const QString& path);

    static WebApiClient& shared();

    // Sends `body` plus the envelope to base URL + `path` (e.g. "/api/tts"). `processType` nullopt leaves
    // the "process_type" key out. The completion runs exactly once, on the main thread, on a later turn
    // of the event loop, with the answer's JSON object or the error; never after cancel(), and never
    // once `context` is destroyed (its destruction cancels the request).
    RequestId post(const QString& path, QJsonObject body, const QString& triggerSource,
                   const std::optional<QString>& processType, int timeoutMs, Completion completion,
                   QObject* context = nullptr);

    // Answers with `error` without sending anything, under the same completion rules as post(): for
    // refusals decided before a request (empty text and the like).
    RequestId fail(TranslationError error, Completion completion, QObject* context = nullptr);

    // Drops the request: the transfer is aborted and its completion never runs. Unknown ids are ignored.
    void cancel(RequestId id);

    bool isPending(RequestId id) const { return m_pending.count(id) != 0; }

    // The base URL in effect: the QUILLORA_DEV_API_URL environment variable when set (scripts/run.sh),
    // else the "apiBaseURL" user default when set, else the build setting. Absent
    // when it is not https, or http to anything but a loopback address, or otherwise malformed.
    static std::optional<QUrl> baseUrl();
    static std::optional<QUrl> validatedBaseUrl(const QString& text);

    // Tests: every request uses this time-out instead of the caller's; nullopt restores the callers'.
    static void setTimeoutOverrideForTesting(std::optional<int> timeoutMs);

private:
    struct Pending {
        Completion completion;
        QPointer<QObject> context;
        bool hasContext = false;
        QMetaObject::Connection contextConnection;
        QPointer<HttpTransfer> reply;
        QPointer<QTimer> timer;
        bool timedOut = false;
    };

    explicit WebApiClient(QObject* parent = nullptr);
    RequestId track(Completion completion, QObject* context, Pending& pending);
    void onFinished(RequestId id);
    void finish(RequestId id, Result<QJsonObject, TranslationError> result);
    static Result<QJsonObject, TranslationError> interpret(HttpTransfer& reply, const Pending& pending);

    // Made with the first request: the network module stays out of start-up.
    HttpClient* m_network = nullptr;
    std::unordered_map<RequestId, Pending> m_pending;
    RequestId m_nextId = 1;
};

#include "services/WebApiClient.h"

#include "DevApiTest.h"
#include "FakePlatform.h"
#include "ScriptedHttpServer.h"
#include "StreamingHttpServer.h"
#include "TestUtils.h"
#include "platform/UserDefaults.h"
#include "services/RequestSigner.h"
#include "services/TranslationManager.h"
#include "services/TranslationManagerService.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <gtest/gtest.h>
#include <csignal>
#include <cstdio>
#include <memory>

namespace {

using JsonResult = Result<QJsonObject, TranslationError>;
using TranslateResult = Result<TranslationResponse, TranslationError>;

// Collects the completions of one request.
template <typename R> struct Outcome {
    int calls = 0;
    std::optional<R> result;
    auto handler() {
        return [this](R r) {
            ++calls;
            result = std::move(r);
        };
    }
    bool wait(int timeoutMs = 5000) {
        return waitUntil([this] { return calls > 0; }, timeoutMs);
    }
    QString errorText() const {
        return result && !*result ? result->error().localizedDescription() : QString();
    }
};

class WebApiClientTest : public DevApiTest {
protected:
    void SetUp() override {
        DevApiTest::SetUp();
    }
    void TearDown() override { WebApiClient::setTimeoutOverrideForTesting(std::nullopt); }

    static TranslateResult translate(const QString& text, const QString& from = "auto",
                                     const QString& to = "tr") {
        Outcome<TranslateResult> outcome;
        TranslationManager::shared().translateText(text, from, to, TranslationService::Google, "floating_bar",
                                                   "translate", outcome.handler());
        EXPECT_TRUE(outcome.wait());
        runQueuedWork();
        EXPECT_EQ(outcome.calls, 1);
        return *outcome.result;
    }

};

} // namespace

TEST_F(WebApiClientTest, SendsTheSignedEnvelopeTheStandInAccepts) {
    const TranslateResult result = translate("hello", "auto", "tr");
    ASSERT_TRUE(result) << qPrintable(result.error().localizedDescription());
    EXPECT_EQ(result.value().translation, QString::fromUtf8("merhaba"));

    ASSERT_TRUE(s_api->waitForRequests(1));
    const QJsonObject entry = s_api->lastRequest();
    EXPECT_EQ(entry["path"].toString(), "/api/translate/google");
    EXPECT_EQ(entry["status"].toInt(), 200);
    EXPECT_TRUE(entry["signatureValid"].toBool());
    const QJsonObject body = entry["body"].toObject();
    EXPECT_EQ(body.keys(),
              QStringList({"app_version", "device_id", "process_type", "signature", "source_language",
                           "target_language", "text", "timestamp", "trigger_source"}));
    EXPECT_EQ(body["device_id"].toString(), "6F9619FF-8B86-D011-B42D-00C04FC964FF");
    EXPECT_EQ(body["trigger_source"].toString(), "floating_bar");
    EXPECT_EQ(body["process_type"].toString(), "translate");
    EXPECT_EQ(body["app_version"].toString(), QStringLiteral(QUILLORA_VERSION));
    EXPECT_EQ(body["source_language"].toString(), "auto");
    EXPECT_EQ(body["target_language"].toString(), "tr");
    const QString timestamp = body["timestamp"].toString();
    EXPECT_TRUE(timestamp.endsWith('Z'));
    EXPECT_LT(qAbs(QDateTime::fromString(timestamp, Qt::ISODate).secsTo(QDateTime::currentDateTimeUtc())),
              60);
    EXPECT_EQ(body["signature"].toString(),
              RequestSigner::signature(body["device_id"].toString(), timestamp, RequestSigner::clientSalt()));
}

TEST_F(WebApiClientTest, DecodesEveryFieldOfASingleWordAnswerAndAMinimalPhraseAnswer) {
    const TranslateResult word = translate("book", "en", "de");
    ASSERT_TRUE(word);
    EXPECT_EQ(word.value().translation, "Buch");
    EXPECT_EQ(word.value().sourceText, "book");
    ASSERT_TRUE(word.value().alternativeTranslations);
    ASSERT_FALSE(word.value().alternativeTranslations->isEmpty());
    EXPECT_EQ(word.value().alternativeTranslations->first().id(), "book_noun");
    EXPECT_TRUE(word.value().alternativeTranslations->first().backTranslations);
    EXPECT_TRUE(word.value().exampleSentences);
    EXPECT_TRUE(word.value().phonetic);
    EXPECT_TRUE(word.value().corrections);
    EXPECT_TRUE(word.value().polysemy);

    const TranslateResult phrase = translate("see you later", "en", "fr");
    ASSERT_TRUE(phrase);
    EXPECT_EQ(phrase.value().translation, "[fr] see you later");
    EXPECT_FALSE(phrase.value().alternativeTranslations);
    EXPECT_FALSE(phrase.value().exampleSentences);
}

TEST_F(WebApiClientTest, RewriteRoundTrip) {
    Outcome<Result<RewriteResponse, TranslationError>> outcome;
    TranslationManagerService::shared().rewriteText("make this nicer", "friendly", "deepl", "menu",
                                                    outcome.handler());
    ASSERT_TRUE(outcome.wait());
    ASSERT_TRUE(*outcome.result) << qPrintable(outcome.errorText());
    EXPECT_EQ(outcome.result->value().rewritten, "[friendly] make this nicer");
    EXPECT_EQ(outcome.result->value().provider, "deepl");
    ASSERT_TRUE(s_api->waitForRequests(1));
    const QJsonObject entry = s_api->lastRequest();
    EXPECT_EQ(entry["path"].toString(), "/api/translate/deepl/rewrite");
    EXPECT_EQ(entry["body"]["process_type"].toString(), "rewrite");
    EXPECT_EQ(entry["body"]["style"].toString(), "friendly");
    EXPECT_EQ(entry["body"]["trigger_source"].toString(), "menu");
}

TEST_F(WebApiClientTest, UnknownRewriteProviderGoesToGoogleNotIntoThePath) {
    Outcome<Result<RewriteResponse, TranslationError>> outcome;
    TranslationManagerService::shared().rewriteText("x", "concise", "../admin/reset", "menu",
                                                    outcome.handler());
    ASSERT_TRUE(outcome.wait());
    EXPECT_TRUE(*outcome.result);
    EXPECT_EQ(s_api->lastRequest()["path"].toString(), "/api/translate/google/rewrite");
}

TEST_F(WebApiClientTest, OmittedProcessTypeIsLeftOutOfTheBody) {
    Outcome<JsonResult> outcome;
    WebApiClient::shared().post("/api/ocr/base64",
                                QJsonObject{{"image", QString::fromLatin1(QByteArray("jpeg").toBase64())}},
                                "ocr", std::nullopt, 60000, outcome.handler());
    ASSERT_TRUE(outcome.wait());
    ASSERT_TRUE(*outcome.result) << qPrintable(outcome.errorText());
    EXPECT_FALSE(outcome.result->value()["text"].toString().isEmpty());
    EXPECT_FALSE(s_api->lastRequest()["body"].toObject().contains("process_type"));
}

TEST_F(WebApiClientTest, MapsEachFailureToItsText) {
    const std::pair<const char*, const char*> cases[] = {
        {"500", "Server error: Simulated server failure"},
        {"500-empty", "Server error: Internal Server Error"},
        {"invalid-json", "Invalid response from the server."},
        {"empty", "No response received from translation service"},
        {"missing-field", "Error processing server response."},
    };
    for (const auto& [mode, text] : cases) {
        ASSERT_TRUE(s_api->failNext(QString::fromLatin1(mode)));
        const TranslateResult result = translate("hello");
        ASSERT_FALSE(result) << mode;
        EXPECT_EQ(result.error().localizedDescription(), QString::fromUtf8(text)) << mode;
    }
    // Magic texts do the same without the admin call, and a 5xx is told apart from a network failure.
    const TranslateResult magic = translate("dev-api:500");
    ASSERT_FALSE(magic);
    EXPECT_EQ(magic.error().httpStatus(), 500);
    EXPECT_TRUE(magic.error().isServerFailure());
}

TEST_F(WebApiClientTest, ClosedAndTruncatedAnswersAreNetworkErrors) {
    for (const char* mode : {"close", "truncated"}) {
        // Qt's HTTP stack sends a request once more when the connection closes before any answer.
        ASSERT_TRUE(s_api->resetFailures());
        ASSERT_TRUE(s_api->failNext(QString::fromLatin1(mode), 2));
        const TranslateResult result = translate("hello");
        ASSERT_FALSE(result) << mode;
        EXPECT_TRUE(result.error().isNetworkError())
            << mode << qPrintable(result.error().localizedDescription());
        EXPECT_TRUE(result.error().localizedDescription().startsWith("Network error: ")) << mode;
    }
}

TEST_F(WebApiClientTest, AHungServerTimesOut) {
    WebApiClient::setTimeoutOverrideForTesting(300);
    ASSERT_TRUE(s_api->failNext("hang"));
    QElapsedTimer clock;
    clock.start();
    const TranslateResult result = translate("hello");
    ASSERT_FALSE(result);
    EXPECT_TRUE(result.error().isTimeout());
    EXPECT_EQ(result.error().localizedDescription(), "Network error: The request timed out.");
    // Far from the default timeout, even on a loaded machine.
    EXPECT_LT(clock.elapsed(), 10000);
}

TEST_F(WebApiClientTest, ASlowAnswerWithinTheTimeOutSucceeds) {
    WebApiClient::setTimeoutOverrideForTesting(3000);
    ASSERT_TRUE(s_api->failNext("slow", 1, 200));
    EXPECT_TRUE(translate("hello"));
}

TEST_F(WebApiClientTest, AWrongSaltIsRefusedWithTheServersMessage) {
    DevApiServer other;
    ASSERT_TRUE(other.start("another-salt"));
    other.useAsApiBase();
    const TranslateResult result = translate("hello");
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().localizedDescription(), "Server error: Invalid signature");
    EXPECT_EQ(result.error().httpStatus(), 401);
    EXPECT_FALSE(other.lastRequest()["signatureValid"].toBool());
}

TEST_F(WebApiClientTest, ConnectionRefusedIsANetworkError) {
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    UserDefaults::standard().set("apiBaseURL", QStringLiteral("http://127.0.0.1:%1").arg(port));
    const TranslateResult result = translate("hello");
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().localizedDescription(), "Network error: Connection refused");
    EXPECT_EQ(result.error().httpStatus(), 0);
}

TEST_F(WebApiClientTest, BadBaseUrlsAreRefusedBeforeAnythingIsSent) {
    for (const char* url :
         {"http://example.com", "ftp://127.0.0.1", "not a url", "https://", "file:///etc/passwd",
          "http://127.0.0.1.example.com", "https://api.example.com/?x=1"}) {
        UserDefaults::standard().set("apiBaseURL", QString::fromLatin1(url));
        const TranslateResult result = translate("hello");
        ASSERT_FALSE(result) << url;
        EXPECT_EQ(result.error().localizedDescription(), "Invalid URL configuration.") << url;
    }
    EXPECT_TRUE(s_api->requestLog().isEmpty());
}

TEST(WebApiBaseUrl, AcceptsHttpsAndLoopbackHttpOnly) {
    EXPECT_TRUE(WebApiClient::validatedBaseUrl("https://api.example.com"));
    EXPECT_TRUE(WebApiClient::validatedBaseUrl("https://api.example.com/v2/"));
    EXPECT_TRUE(WebApiClient::validatedBaseUrl("http://127.0.0.1:8080"));
    EXPECT_TRUE(WebApiClient::validatedBaseUrl("http://127.0.0.2"));
    EXPECT_TRUE(WebApiClient::validatedBaseUrl("http://localhost:1"));
    EXPECT_TRUE(WebApiClient::validatedBaseUrl("http://[::1]:9"));
    EXPECT_FALSE(WebApiClient::validatedBaseUrl("http://10.0.0.1"));
    EXPECT_FALSE(WebApiClient::validatedBaseUrl("http://localhost.evil.com"));
    EXPECT_FALSE(WebApiClient::validatedBaseUrl(""));

    // The build setting answers when the user default is unset or blank.
    UserDefaults::standard().set("apiBaseURL", "  ");
    ASSERT_TRUE(WebApiClient::baseUrl());
    EXPECT_EQ(WebApiClient::baseUrl()->toString(), QStringLiteral(QUILLORA_API_BASE_URL));
    UserDefaults::standard().set("apiBaseURL", "http://127.0.0.1:5");
    EXPECT_EQ(WebApiClient::baseUrl()->toString(), "http://127.0.0.1:5");
}

TEST_F(WebApiClientTest, BasePathIsKept) {
    ScriptedHttpServer server;
    ASSERT_TRUE(server.listen());
    server.response = ScriptedHttpServer::answer(200, "OK", R"({"translation":"ok"})");
    UserDefaults::standard().set("apiBaseURL", server.baseUrl() + "/v2/");
    ASSERT_TRUE(translate("hello"));
    EXPECT_TRUE(server.lastRequest.startsWith("POST /v2/api/translate/google HTTP/1.1"))
        << server.lastRequest.left(60).constData();
}

TEST_F(WebApiClientTest, ResetConnectionsRedirectsAndHtmlErrorsAreReportedPlainly) {
    ScriptedHttpServer server;
    ASSERT_TRUE(server.listen());
    UserDefaults::standard().set("apiBaseURL", server.baseUrl());

    server.action = ScriptedHttpServer::Action::Reset;
    TranslateResult result = translate("hello");
    ASSERT_FALSE(result);
    EXPECT_TRUE(result.error().isNetworkError()) << qPrintable(result.error().localizedDescription());

    // A redirect is not followed: the signed body never travels on to another host.
    server.action = ScriptedHttpServer::Action::Respond;
    server.response =
        "HTTP/1.1 307 Temporary Redirect\r\nLocation: http://example.com/\r\nContent-Length: 0\r\n"
        "Connection: close\r\n\r\n";
    const int before = server.requestCount;
    result = translate("hello");
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().localizedDescription(), "Server error: Temporary Redirect");
    EXPECT_EQ(server.requestCount, before + 1);

    server.response = ScriptedHttpServer::answer(502, "Bad Gateway", "<html>upstream down</html>");
    result = translate("hello");
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().localizedDescription(), "Server error: Bad Gateway");
    EXPECT_TRUE(result.error().isServerFailure());

    server.response = ScriptedHttpServer::answer(200, "OK", R"(["an", "array"])");
    result = translate("hello");
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().localizedDescription(), "Invalid response from the server.");
}

// Each answer is bounded by what its endpoint can legitimately send, so none can hold the UI thread.
TEST_F(WebApiClientTest, UndecodableAndOversizedAnswersAreInvalidResponses) {
    ScriptedHttpServer server;
    ASSERT_TRUE(server.listen());
    UserDefaults::standard().set("apiBaseURL", server.baseUrl());

    server.response = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Encoding: gzip\r\n"
                      "Content-Length: 24\r\nConnection: close\r\n\r\nthis is not gzip at all!";
    TranslateResult result = translate("hello");
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().localizedDescription(), "Invalid response from the server.");

    const QByteArray huge = R"({"translation":")" + QByteArray(WebApiClient::maximumTextAnswerBytes, 'a') + R"("})";
    server.response = ScriptedHttpServer::answer(200, "OK", huge);
    result = translate("hello");
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().localizedDescription(), "Invalid response from the server.");

    // A 60 MB answer is refused without being taken in: what the connection took stays near the limit.
    constexpr qint64 sixtyMegabytes = 60'000'000;
    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n";
    for (const QByteArray& length :
         {"Content-Length: " + QByteArray::number(sixtyMegabytes) + "\r\n", QByteArray()}) {
        SCOPED_TRACE(length.isEmpty() ? "read until the connection closes" : "length given");
        StreamingHttpServer stream(head + length + "\r\n", sixtyMegabytes);
        ASSERT_TRUE(stream.listen());
        UserDefaults::standard().set("apiBaseURL", stream.baseUrl());
        result = translate("hello");
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error().localizedDescription(), "Invalid response from the server.");
        ASSERT_TRUE(waitUntil([&] { return stream.answered() == 1; }));
        EXPECT_LT(stream.sent(), WebApiClient::maximumTextAnswerBytes + 16'000'000) << stream.sent();
    }
    UserDefaults::standard().set("apiBaseURL", server.baseUrl());

    // Speech audio is larger by nature and has a bound of its own.
    const QByteArray audio = R"({"audioContent":")" + QByteArray(WebApiClient::maximumTextAnswerBytes * 2, 'A') + R"("})";
    server.response = ScriptedHttpServer::answer(200, "OK", audio);
    Outcome<JsonResult> speech;
    WebApiClient::shared().post("/api/tts", {{"text", "hi"}}, "menu", QStringLiteral("tts"), 5000,
                                speech.handler());
    ASSERT_TRUE(speech.wait());
    EXPECT_TRUE(*speech.result) << qPrintable(speech.errorText());
}

TEST_F(WebApiClientTest, SlowAnswersPastTheDeadlineTimeOutEvenWhileBytesTrickle) {
    ScriptedHttpServer server;
    ASSERT_TRUE(server.listen());
    UserDefaults::standard().set("apiBaseURL", server.baseUrl());
    server.response = ScriptedHttpServer::answer(200, "OK", R"({"translation":"late"})");
    server.delayMs = 800;
    WebApiClient::setTimeoutOverrideForTesting(250);
    const TranslateResult result = translate("hello");
    ASSERT_FALSE(result);
    EXPECT_TRUE(result.error().isTimeout());
}

TEST_F(WebApiClientTest, CancelledRequestsAndDestroyedContextsNeverComplete) {
    // Short enough to wait out below, longer than the stand-in takes to answer.
    constexpr int timeoutMs = 400;
    WebTimeout limit(timeoutMs);
    ASSERT_TRUE(s_api->failNext("slow", 2, 150));

    Outcome<TranslateResult> cancelled;
    const RequestId id = TranslationManager::shared().translateText(
        "hello", "auto", "tr", TranslationService::Google, "menu", "translate", cancelled.handler());
    EXPECT_TRUE(TranslationManager::shared().isTranslating());
    TranslationManager::shared().cancel(id);
    EXPECT_FALSE(TranslationManager::shared().isTranslating());

    Outcome<TranslateResult> orphaned;
    auto context = std::make_unique<QObject>();
    TranslationManager::shared().translateText("hello", "auto", "tr", TranslationService::Google, "menu",
                                               "translate", orphaned.handler(), context.get());
    context.reset();
    EXPECT_FALSE(TranslationManager::shared().isTranslating());

    // Refusals made before sending follow the same rule.
    Outcome<TranslateResult> refused;
    auto refusedContext = std::make_unique<QObject>();
    TranslationManagerService::shared().translate("", Language::find("en"), Language::find("tr"),
                                                  refused.handler(), refusedContext.get());
    refusedContext.reset();

    // A request still alive would have ended by now, with its answer or its time-out.
    runQueuedWork(timeoutMs);
    EXPECT_EQ(cancelled.calls, 0);
    EXPECT_EQ(orphaned.calls, 0);
    EXPECT_EQ(refused.calls, 0);
}

TEST_F(WebApiClientTest, EachRequestGetsItsOwnIdAndARandomDeviceIdWhenTheMachineHasNone) {
    fakePlatform().fakeDeviceIdentity().uuid = std::nullopt;
    Outcome<TranslateResult> a;
    Outcome<TranslateResult> b;
    const RequestId first = TranslationManager::shared().translateText(
        "hello", "auto", "tr", TranslationService::Google, "menu", "translate", a.handler());
    const RequestId second = TranslationManager::shared().translateText(
        "world", "auto", "tr", TranslationService::Gemini, "menu", "translate", b.handler());
    EXPECT_NE(first, second);
    EXPECT_NE(first, 0u);
    ASSERT_TRUE(a.wait());
    ASSERT_TRUE(b.wait());
    ASSERT_TRUE(*a.result);
    EXPECT_EQ(b.result->value().translation, QString::fromUtf8("dünya"));
    ASSERT_TRUE(s_api->waitForRequests(2));
    const QList<QJsonObject> log = s_api->requestLog();
    const QString idA = log[0]["body"]["device_id"].toString();
    const QString idB = log[1]["body"]["device_id"].toString();
    EXPECT_FALSE(QUuid(idA).isNull());
    EXPECT_NE(idA, idB);
    EXPECT_TRUE(log[0]["signatureValid"].toBool());
}

TEST_F(WebApiClientTest, LargeOcrImagesTravelAndAreLoggedShort) {
    const QByteArray image(1500 * 1024, '\x7f');
    Outcome<JsonResult> outcome;
    WebApiClient::shared().post("/api/ocr/base64",
                                QJsonObject{{"image", QString::fromLatin1(image.toBase64())}}, "ocr",
                                std::nullopt, 60000, outcome.handler());
    ASSERT_TRUE(outcome.wait(10000));
    ASSERT_TRUE(*outcome.result) << qPrintable(outcome.errorText());
    EXPECT_EQ(outcome.result->value()["text"].toString(), "Recognised text from the Quillora dev API");
    ASSERT_TRUE(s_api->waitForRequests(1));
    EXPECT_EQ(s_api->lastRequest()["body"].toObject()["image"].toString(),
              QStringLiteral("<%1 base64 characters>").arg(image.toBase64().size()));
}

TEST_F(WebApiClientTest, StandInRefusesMissingEnvelopeFieldsAndUnknownEndpoints) {
    QNetworkAccessManager network;
    auto send = [&](const QString& path, const QJsonObject& body) {
        QNetworkRequest request(QUrl(s_api->baseUrl() + path));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        std::unique_ptr<QNetworkReply> reply(network.post(request, QJsonDocument(body).toJson()));
        EXPECT_TRUE(waitUntil([&] { return reply->isFinished(); }));
        return std::make_pair(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                              QJsonDocument::fromJson(reply->readAll()).object()["error"].toString());
    };
    QJsonObject body{{"text", "hi"},
                     {"source_language", "en"},
                     {"target_language", "de"},
                     {"device_id", "D"},
                     {"timestamp", "2026-12-07T10:00:00Z"},
                     {"trigger_source", "menu"},
                     {"process_type", "translate"},
                     {"app_version", "1.0.0"}};
    body["signature"] = RequestSigner::signature("D", "2026-12-07T10:00:00Z", RequestSigner::clientSalt());
    EXPECT_EQ(send("/api/translate/google", body).first, 200);

    for (const char* key :
         {"device_id", "timestamp", "signature", "trigger_source", "process_type", "app_version"}) {
        QJsonObject partial = body;
        partial.remove(QString::fromLatin1(key));
        const auto [status, error] = send("/api/translate/google", partial);
        EXPECT_EQ(status, 400) << key;
        EXPECT_EQ(error, QStringLiteral("Missing field: %1").arg(QString::fromLatin1(key)));
    }
    EXPECT_EQ(send("/api/translate/bing", body).first, 404);
    EXPECT_EQ(send("/api/unknown", body).first, 404);
    QJsonObject tts = body;
    tts.remove("slow");
    EXPECT_EQ(send("/api/tts", tts).first, 400);

    // Failures are queued only with a content type a web page cannot send across origins unasked.
    for (const char* type : {"text/plain", "application/x-www-form-urlencoded", "multipart/form-data"}) {
        QNetworkRequest request(QUrl(s_api->baseUrl() + "/admin/fail-next"));
        request.setHeader(QNetworkRequest::ContentTypeHeader, type);
        std::unique_ptr<QNetworkReply> reply(network.post(request, R"({"mode": "500"})"));
        EXPECT_TRUE(waitUntil([&] { return reply->isFinished(); }));
        EXPECT_EQ(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 415) << type;
    }
    EXPECT_EQ(send("/api/translate/google", body).first, 200);
    EXPECT_EQ(send("/admin/fail-next", {{"mode", "500"}}).first, 200);
    EXPECT_EQ(send("/api/translate/google", body).first, 500);
}

// A test killed at its time-out, or crashing, leaves no stand-in running with nobody to stop it.
TEST_F(WebApiClientTest, TheStandInEndsWithTheTestThatStartedIt) {
    if (qEnvironmentVariableIsSet("QUILLORA_STAND_IN_PARENT")) {
        std::printf("stand-in %lld\n", s_api->processId());
        std::fflush(stdout);
        waitUntil([] { return false; }, 120000);
        return;
    }
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QUILLORA_STAND_IN_PARENT", "1");
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=WebApiClientTest.TheStandInEndsWithTheTestThatStartedIt"});
    QByteArray output;
    ASSERT_TRUE(waitUntil(
        [&] {
            output += child.readAllStandardOutput();
            return output.contains("stand-in ") || child.state() == QProcess::NotRunning;
        },
        60000));
    const QByteArray line = output.mid(output.indexOf("stand-in ") + 9);
    const qint64 standIn = line.left(line.indexOf('\n')).toLongLong();
    ASSERT_GT(standIn, 0) << output.constData();
    child.kill();
    ASSERT_TRUE(waitUntil([&] { return child.state() == QProcess::NotRunning; }, 30000));

    // Gone, or a zombie waiting for whoever inherited it.
    const auto ended = [standIn] {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(standIn));
        if (!stat.open(QIODevice::ReadOnly))
            return true;
        const QByteArray fields = stat.readAll();
        const qsizetype state = fields.lastIndexOf(')') + 2;
        return state < 2 || state >= fields.size() || fields.at(state) == 'Z' || fields.at(state) == 'X';
    };
    const bool standInEnded = waitUntil(ended, 30000);
    if (!standInEnded)
        ::kill(pid_t(standIn), SIGKILL);
    EXPECT_TRUE(standInEnded);
}

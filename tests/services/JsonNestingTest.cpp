#include "platform/JsonNesting.h"

#include "DevApiTest.h"
#include "ScriptedHttpServer.h"
#include "TestUtils.h"
#include "keyboardshortcuts/Shortcut.h"
#include "menubar/history/TranslationHistoryItem.h"
#include "platform/UserDefaults.h"
#include "services/RequestSigner.h"
#include "services/WebApiClient.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace {

using JsonResult = Result<QJsonObject, TranslationError>;

class JsonNesting : public DevApiTest {};

// `depth` arrays or objects inside one another.
QByteArray nested(int depth, bool objects) {
    if (!objects)
        return QByteArray(depth, '[') + QByteArray(depth, ']');
    return QByteArray("{\"a\":").repeated(depth) + "0" + QByteArray(depth, '}');
}

} // namespace

// Every JSON reader takes a value nested as deep as QJsonDocument allows and refuses one level more, or
// any depth a stored value or an answer can reach, without running out of stack.
TEST_F(JsonNesting, EveryReaderRefusesTextsNestedPastTheLimit) {
    ScriptedHttpServer server;
    ASSERT_TRUE(server.listen());
    QNetworkAccessManager network;

    // Each reader puts the nested value into a text it reads otherwise, at its own depth, and tells
    // whether it read that text.
    struct Reader {
        const char* name;
        int ownDepth;
        std::function<bool(const QByteArray&)> reads;
    };
    const auto answer = [&](const QByteArray& body, int status) {
        server.response = ScriptedHttpServer::answer(status, status == 200 ? "OK" : "Failed", body);
        UserDefaults::standard().set("apiBaseURL", server.baseUrl());
        auto result = std::make_shared<std::optional<JsonResult>>();
        WebApiClient::shared().post("/api/translate/google", {{"text", "hi"}}, "menu",
                                    QStringLiteral("translate"), 5000,
                                    [result](JsonResult r) { *result = std::move(r); });
        EXPECT_TRUE(waitUntil([&] { return result->has_value(); }));
        return result->value_or(JsonResult::failure(TranslationError::noResponse()));
    };
    const Reader readers[] = {
        {"stored saved translations", 2,
         [](const QByteArray& value) {
             const QByteArray record =
                 R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","sourceText":"a","translatedText":"b",)"
                 R"("sourceLanguageCode":"en","targetLanguageCode":"tr","serviceRawValue":"google","date":1,)"
                 R"("extra":)" +
                 value + "}";
             const auto decoded = TranslationHistoryItem::decodeList("[" + record + "]");
             return decoded.readable && decoded.items.size() == 1;
         }},
        {"stored shortcut", 1,
         [](const QByteArray& value) {
             return KeyboardShortcuts::Shortcut::fromJson(
                        QString::fromUtf8(R"({"carbonKeyCode":40,"carbonModifiers":256,"extra":)" + value +
                                          "}"))
                 .has_value();
         }},
        {"web answer", 1,
         [&](const QByteArray& value) {
             const JsonResult result = answer(R"({"translation":"x","extra":)" + value + "}", 200);
             return result && result.value().value("translation").toString() == QLatin1String("x");
         }},
        {"web error message", 1,
         [&](const QByteArray& value) {
             const JsonResult result = answer(R"({"error":"boom","extra":)" + value + "}", 500);
             return !result && result.error().localizedDescription() == QLatin1String("Server error: boom");
         }},
        {"stand-in request", 1,
         [&](const QByteArray& value) {
             const QString stamp = QStringLiteral("2026-12-07T10:00:00Z");
             QJsonObject envelope{{"text", "hi"},
                                  {"source_language", "en"},
                                  {"target_language", "de"},
                                  {"device_id", "D"},
                                  {"timestamp", stamp},
                                  {"trigger_source", "menu"},
                                  {"process_type", "translate"},
                                  {"app_version", "1.0.0"}};
             envelope["signature"] = RequestSigner::signature("D", stamp, RequestSigner::clientSalt());
             QByteArray body = QJsonDocument(envelope).toJson(QJsonDocument::Compact);
             body.chop(1);
             body += R"(,"extra":)" + value + "}";
             QNetworkRequest request(QUrl(s_api->baseUrl() + "/api/translate/google"));
             request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
             std::unique_ptr<QNetworkReply> reply(network.post(request, body));
             EXPECT_TRUE(waitUntil([&] { return reply->isFinished(); }));
             return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200;
         }},
    };
    // Deep enough to exhaust the stack of a reader without a bound; within the size of any answer.
    const int veryDeep = int(WebApiClient::maximumTextAnswerBytes / 2) - 100;
    for (const Reader& reader : readers) {
        SCOPED_TRACE(reader.name);
        const int room = kJsonNestingLimit - reader.ownDepth;
        EXPECT_TRUE(reader.reads(nested(room, false))) << "arrays as deep as allowed";
        EXPECT_TRUE(reader.reads(nested(room, true))) << "objects as deep as allowed";
        EXPECT_FALSE(reader.reads(nested(room + 1, false))) << "arrays one level deeper";
        EXPECT_FALSE(reader.reads(nested(room + 1, true))) << "objects one level deeper";
        EXPECT_FALSE(reader.reads(nested(veryDeep, false))) << "arrays very deep";
        EXPECT_FALSE(reader.reads(QByteArray(veryDeep, '['))) << "arrays opened very deep, never closed";
    }
}

#include "services/RequestEnvelope.h"
#include "services/RequestSigner.h"
#include "services/RewriteRequest.h"
#include "services/RewriteResponse.h"
#include "services/TranslationRequest.h"
#include "services/TranslationResponse.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

namespace {

QJsonObject parse(const char* json) {
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

} // namespace

TEST(RequestSigning, MatchesTheKnownVector) {
    EXPECT_EQ(
        RequestSigner::signature("6F9619FF-8B86-D011-B42D-00C04FC964FF", "2026-12-07T10:00:00Z", "test-salt"),
        "9152a495c4efa823f230a89ffb781640f8dd493c75ca42c2216e37dc7ff39360");
    // Order matters: device identifier first.
    EXPECT_NE(
        RequestSigner::signature("2026-12-07T10:00:00Z", "6F9619FF-8B86-D011-B42D-00C04FC964FF", "test-salt"),
        "9152a495c4efa823f230a89ffb781640f8dd493c75ca42c2216e37dc7ff39360");
}

TEST(RequestSigning, EnvelopeAddsEveryKeyAndLeavesProcessTypeOutWhenAbsent) {
    QJsonObject body = TranslationRequest{"hello", "auto", "tr"}.toJson();
    RequestEnvelope::make("menu", QStringLiteral("translate"), "DEVICE", "2026-12-07T10:00:00Z", "salt",
                          "1.2.3")
        .addTo(body);
    EXPECT_EQ(body.keys(),
              QStringList({"app_version", "device_id", "process_type", "signature", "source_language",
                           "target_language", "text", "timestamp", "trigger_source"}));
    EXPECT_EQ(body["signature"].toString(),
              RequestSigner::signature("DEVICE", "2026-12-07T10:00:00Z", "salt"));
    EXPECT_EQ(body["process_type"].toString(), "translate");
    EXPECT_EQ(body["app_version"].toString(), "1.2.3");

    QJsonObject ocr{{"image", "AAAA"}, {"process_type", "stale"}};
    RequestEnvelope::make("ocr", std::nullopt, "DEVICE", "T", "salt", "1").addTo(ocr);
    EXPECT_FALSE(ocr.contains("process_type"));
    EXPECT_EQ(ocr["trigger_source"].toString(), "ocr");
}

TEST(RequestSigning, EncodedBodyIsTheLibrarysCompactTextForHostileStrings) {
    QString controls;
    for (char16_t c = 0; c < 0x20; ++c)
        controls += QChar(c);
    const QString pair = QString::fromUtf16(u"\U0001F600");
    struct Case {
        const char* name;
        QString text;
        bool roundTrips;
    };
    const std::vector<Case> cases{
        {"empty", QString(), true},
        {"quotes and backslashes", QStringLiteral(R"(a "quoted" \path\ \"\u0041 "" \\)"), true},
        {"every control character", controls, true},
        {"delete and markup", QStringLiteral("\x7f</script><!-- & ' /"), true},
        {"two- and three-byte letters", QStringLiteral("ğüşıöç 中文 עברית \ufeff \u2028\u2029 \uffff"), true},
        {"surrogate pairs", pair + QStringLiteral("x") + pair, true},
        {"lone surrogates", QString(QChar(0xd800)) + "a" + QChar(0xdc00) + QChar(0xdc00) + QChar(0xd83d), false},
        {"long", QString(6000, QChar(0x4e2d)) + controls, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QJsonObject body{{"text", c.text},
                               {c.text.isEmpty() ? QStringLiteral("k") : c.text, 1.5},
                               {"a", QJsonArray{1, true, QJsonValue()}},
                               {"flag", false},
                               {"nothing", QJsonValue()},
                               {"zz", 42},
                               {"process_type", "stale"}};
        for (const std::optional<QString>& processType : {std::optional<QString>("translate"), std::optional<QString>()}) {
            const RequestEnvelope envelope =
                RequestEnvelope::make(c.text, processType, "DEVICE", "2026-12-07T10:00:00Z", "salt", c.text);
            QJsonObject expected = body;
            envelope.addTo(expected);
            const QByteArray encoded = envelope.encode(body);
            EXPECT_EQ(encoded, QJsonDocument(expected).toJson(QJsonDocument::Compact));
            if (!c.roundTrips)
                continue;
            QJsonParseError error;
            const QJsonDocument parsed = QJsonDocument::fromJson(encoded, &error);
            ASSERT_EQ(error.error, QJsonParseError::NoError) << qPrintable(error.errorString());
            EXPECT_EQ(parsed.object(), expected);
            EXPECT_EQ(parsed.object().value("text").toString(), c.text);
        }
    }
}

TEST(RequestSigning, LiveEnvelopeUsesAUtcIsoTimestamp) {
    const RequestEnvelope envelope = RequestEnvelope::make("menu", QStringLiteral("translate"));
    EXPECT_TRUE(envelope.timestamp.endsWith('Z')) << qPrintable(envelope.timestamp);
    EXPECT_TRUE(QDateTime::fromString(envelope.timestamp, Qt::ISODate).isValid());
    EXPECT_EQ(envelope.signature,
              RequestSigner::signature(envelope.deviceId, envelope.timestamp, RequestSigner::clientSalt()));
    EXPECT_EQ(envelope.deviceId, "6F9619FF-8B86-D011-B42D-00C04FC964FF");
}

TEST(RequestBodies, UseTheWireKeys) {
    EXPECT_EQ(TranslationRequest({"a", "auto", "de"}).toJson(),
              parse(R"({"text":"a","source_language":"auto","target_language":"de"})"));
    EXPECT_EQ(RewriteRequest({"a", "friendly"}).toJson(), parse(R"({"text":"a","style":"friendly"})"));
}

TEST(TranslationResponseDecoding, DecodesAFullAnswer) {
    const auto response = TranslationResponse::fromJson(parse(R"({
        "translation": "kitap", "sourceText": "book",
        "alternativeTranslations": [
            {"word": "book", "type": "noun", "translations": ["kitap", "defter"],
             "backTranslations": {"kitap": ["book", "volume"], "defter": ["notebook"]}},
            {"word": "book", "type": "verb", "translations": ["ayırtmak"]}
        ],
        "exampleSentences": ["I read a book.", "Book a table."],
        "phonetic": "/bʊk/", "corrections": ["book"], "polysemy": ["kitap", "rezervasyon"]
    })"));
    ASSERT_TRUE(response);
    EXPECT_EQ(response->translation, "kitap");
    EXPECT_EQ(response->sourceText, "book");
    ASSERT_TRUE(response->alternativeTranslations);
    ASSERT_EQ(response->alternativeTranslations->size(), 2);
    const auto& noun = response->alternativeTranslations->at(0);
    EXPECT_EQ(noun.id(), "book_noun");
    EXPECT_EQ(noun.translations, QStringList({"kitap", "defter"}));
    ASSERT_TRUE(noun.backTranslations);
    EXPECT_EQ(noun.backTranslations->value("kitap"), QStringList({"book", "volume"}));
    EXPECT_EQ(response->alternativeTranslations->at(1).id(), "book_verb");
    EXPECT_FALSE(response->alternativeTranslations->at(1).backTranslations);
    EXPECT_EQ(response->exampleSentences, QStringList({"I read a book.", "Book a table."}));
    EXPECT_EQ(response->phonetic, QString::fromUtf8("/bʊk/"));
    EXPECT_EQ(response->corrections, QStringList({"book"}));
    EXPECT_EQ(response->polysemy, QStringList({"kitap", "rezervasyon"}));

    // Encoding and decoding again gives the same value.
    EXPECT_EQ(TranslationResponse::fromJson(response->toJson()), response);
}

TEST(TranslationResponseDecoding, DecodesAMinimalAnswerAndRefusesOneWithoutTranslation) {
    const auto minimal = TranslationResponse::fromJson(parse(R"({"translation": ""})"));
    ASSERT_TRUE(minimal);
    EXPECT_EQ(minimal->translation, "");
    EXPECT_FALSE(minimal->sourceText);
    EXPECT_FALSE(minimal->alternativeTranslations);
    EXPECT_FALSE(minimal->exampleSentences);
    EXPECT_EQ(minimal->toJson(), parse(R"({"translation": ""})"));

    EXPECT_FALSE(TranslationResponse::fromJson(parse(R"({"sourceText": "x"})")));
    EXPECT_FALSE(TranslationResponse::fromJson(parse(R"({"translation": 3})")));
    EXPECT_FALSE(TranslationResponse::fromJson(parse(R"({"translation": null})")));
}

TEST(TranslationResponseDecoding, DropsMalformedOptionalPartsButKeepsTheTranslation) {
    const auto response = TranslationResponse::fromJson(parse(R"({
        "translation": "ok", "sourceText": null, "exampleSentences": ["a", 2], "phonetic": 7,
        "alternativeTranslations": [
            {"word": "w", "type": "noun", "translations": ["t"], "backTranslations": {"t": ["w"], "bad": 1}},
            {"word": "w", "translations": ["missing type"]},
            "not an object"
        ]
    })"));
    ASSERT_TRUE(response);
    EXPECT_EQ(response->translation, "ok");
    EXPECT_FALSE(response->sourceText);
    EXPECT_FALSE(response->exampleSentences);
    EXPECT_FALSE(response->phonetic);
    ASSERT_TRUE(response->alternativeTranslations);
    ASSERT_EQ(response->alternativeTranslations->size(), 1);
    EXPECT_EQ(response->alternativeTranslations->at(0).backTranslations->keys(), QStringList({"t"}));
}

TEST(RewriteResponseDecoding, NeedsRewrittenText) {
    const auto full = RewriteResponse::fromJson(parse(R"({"rewritten": "Hi!", "provider": "gemini"})"));
    ASSERT_TRUE(full);
    EXPECT_EQ(full->rewritten, "Hi!");
    EXPECT_EQ(full->provider, "gemini");
    EXPECT_EQ(RewriteResponse::fromJson(full->toJson()), full);
    EXPECT_TRUE(RewriteResponse::fromJson(parse(R"({"rewritten": "Hi!"})")));
    EXPECT_FALSE(RewriteResponse::fromJson(parse(R"({"provider": "gemini"})")));
}

// The per-request cost of the web client's own work (signing, encoding the body, decoding a full translate
// answer) and of language detection, apart from the network.
#include "platform/AudioPlayer.h"
#include "platform/LanguageModule.h"
#include "platform/Platform.h"
#include "services/LanguageDetectionService.h"
#include "services/RequestEnvelope.h"
#include "services/RequestSigner.h"
#include "services/TranslationRequest.h"
#include "services/TranslationResponse.h"

#include <QJsonDocument>
#include <benchmark/benchmark.h>

namespace {

const QString kDevice = QStringLiteral("6F9619FF-8B86-D011-B42D-00C04FC964FF");
const QString kTimestamp = QStringLiteral("2026-12-07T10:00:00Z");
const QByteArray kSalt = QByteArrayLiteral("test-salt");

const QByteArray kFullAnswer = QByteArrayLiteral(R"({
  "translation": "kitap", "sourceText": "book",
  "alternativeTranslations": [
    {"word": "book", "type": "noun", "translations": ["kitap", "defter", "cilt"],
     "backTranslations": {"kitap": ["book", "volume"], "defter": ["notebook", "book"], "cilt": ["volume"]}},
    {"word": "book", "type": "verb", "translations": ["ayırtmak", "rezervasyon yapmak"],
     "backTranslations": {"ayırtmak": ["book", "reserve"], "rezervasyon yapmak": ["book"]}}
  ],
  "exampleSentences": ["I am reading a book.", "We booked a table for two.", "She wrote a book about it."],
  "phonetic": "/bʊk/", "corrections": ["book"], "polysemy": ["kitap", "rezervasyon", "defter"]
})");

QByteArray signAndEncode() {
    const QJsonObject body =
        TranslationRequest{QStringLiteral("book"), QStringLiteral("en"), QStringLiteral("tr")}.toJson();
    return RequestEnvelope::make(QStringLiteral("menu"), QStringLiteral("translate"), kDevice, kTimestamp, kSalt,
                                 QStringLiteral("1.0.0"))
        .encode(body);
}

// The same bytes through the library's document, for comparison.
QByteArray signAndEncodeThroughDocument() {
    QJsonObject body =
        TranslationRequest{QStringLiteral("book"), QStringLiteral("en"), QStringLiteral("tr")}.toJson();
    RequestEnvelope::make(QStringLiteral("menu"), QStringLiteral("translate"), kDevice, kTimestamp, kSalt,
                          QStringLiteral("1.0.0"))
        .addTo(body);
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

std::optional<TranslationResponse> decode(const QByteArray& bytes) {
    return TranslationResponse::fromJson(QJsonDocument::fromJson(bytes).object());
}

void BM_Sign(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(RequestSigner::signature(kDevice, kTimestamp, kSalt));
}
BENCHMARK(BM_Sign);

void BM_SignAndEncodeRequest(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(signAndEncode());
}
BENCHMARK(BM_SignAndEncodeRequest);

void BM_SignAndEncodeRequestThroughJsonDocument(benchmark::State& state) {
    if (signAndEncodeThroughDocument() != signAndEncode())
        state.SkipWithError("the two encodings differ");
    for (auto _ : state)
        benchmark::DoNotOptimize(signAndEncodeThroughDocument());
}
BENCHMARK(BM_SignAndEncodeRequestThroughJsonDocument);

void BM_DecodeFullTranslateResponse(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(decode(kFullAnswer));
}
BENCHMARK(BM_DecodeFullTranslateResponse);

// One request's whole local cost: sign, encode, decode the answer.
void BM_TranslateRequestRoundTrip(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(signAndEncode());
        benchmark::DoNotOptimize(decode(kFullAnswer));
    }
}
BENCHMARK(BM_TranslateRequestRoundTrip);

class BenchPlatform : public Platform {
public:
    BenchPlatform() {
        m_languageRecognizer = std::make_unique<LanguageRecognizerOnDemand>(QUILLORA_LANGUAGE_MODULE_PATH);
    }
    std::unique_ptr<AudioPlayer> createAudioPlayer() const override { return nullptr; }
};

void BM_DetectLanguage200Characters(benchmark::State& state) {
    installPlatform(std::make_unique<BenchPlatform>());
    const QString text = QStringLiteral("Translation tools help people read articles, messages and documents "
                                        "written in languages they do not "
                                        "speak, and a quick detection of the source language saves them from "
                                        "choosing it by hand every time.");
    state.counters["characters"] = double(text.size());
    QString detected;
    for (auto _ : state) {
        detected = LanguageDetectionService::detectLanguage(text);
        benchmark::DoNotOptimize(detected);
    }
    if (detected != QLatin1String("en"))
        state.SkipWithError("detection did not recognise English");
    installPlatform(nullptr);
}
BENCHMARK(BM_DetectLanguage200Characters);

// What users select most: a few words, settled by the word lists, the recogniser alone, or its hint pass.
void BM_DetectLanguageShortSelection(benchmark::State& state) {
    installPlatform(std::make_unique<BenchPlatform>());
    const QStringList selections{QStringLiteral("tesekkur ederim"), QStringLiteral("Guten Morgen"),
                                 QString::fromUtf8("İyi ki doğdun 🎂🎉"), QStringLiteral("keyboard shortcut")};
    qsizetype next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(LanguageDetectionService::detectLanguage(selections.at(next)));
        next = (next + 1) % selections.size();
    }
    installPlatform(nullptr);
}
BENCHMARK(BM_DetectLanguageShortSelection);

} // namespace

BENCHMARK_MAIN();

#include "FakePlatform.h"
#include "platform/LanguageModule.h"
#include "services/LanguageDetectionService.h"

#include "platform/UserDefaults.h"
#include "services/Language.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstdio>

TEST(NormalizeLanguageCode, MapsEveryRecogniserCodeOntoTheTableOrAuto) {
    const std::pair<const char*, const char*> cases[] = {
        {"en", "en"},      {"tr", "tr"},       {"nl", "nl"},    {"zh", "zh-cn"},  {"zh-Hans", "zh-cn"},
        {"zh-Hant", "zh-tw"}, {"he", "iw"},    {"iw", "iw"},    {"jv", "jw"},     {"jw", "jw"},
        {"fil", "tl"},     {"tl", "tl"},       {"haw", "haw"},  {"ceb", "ceb"},   {"hmn", "hmn"},
        {"nb", "no"},      {"pt-BR", "pt"},    {"sr-ME", "sr"}, {"xx-Qaai", "auto"}, {"chr", "auto"},
        {"x", "auto"},     {"", "auto"},
    };
    for (const auto& [code, expected] : cases)
        EXPECT_EQ(LanguageDetectionService::normalizeLanguageCode(QString::fromLatin1(code)), expected) << code;
}

TEST(DetectLanguage, NormalisesTheRecognisersAnswerAndGivesAutoForNone) {
    FakeLanguageRecognizer& recognizer = fakePlatform().fakeLanguageRecognizer();
    recognizer.answers.insert("你好", "zh-Hant");
    recognizer.answers.insert("Merhaba dünya", "tr");
    recognizer.fallback = QString();
    EXPECT_EQ(LanguageDetectionService::detectLanguage("你好"), "zh-tw");
    EXPECT_EQ(LanguageDetectionService::detectLanguage("Merhaba dünya"), "tr");
    EXPECT_EQ(LanguageDetectionService::detectLanguage("???"), "auto");
    EXPECT_EQ(LanguageDetectionService::detectLanguage(""), "auto");
}

// The recogniser's own answer stands when the table has it; else it is asked again, steered by the stored
// languages ahead of the desktop's, in the recogniser's spelling.
TEST(DetectLanguage, AnAnswerOutsideTheTableIsAskedAgainWithTheUsersLanguagesFirst) {
    FakeLanguageRecognizer& recognizer = fakePlatform().fakeLanguageRecognizer();
    UserDefaults::standard().set(QStringLiteral("defaultSourceLanguage"), QStringLiteral("auto"));
    UserDefaults::standard().set(QStringLiteral("defaultTargetLanguage"), QStringLiteral("zh-cn"));
    recognizer.fallback = QStringLiteral("de");
    EXPECT_EQ(LanguageDetectionService::detectLanguage("Guten Abend"), "de");
    EXPECT_TRUE(recognizer.lastHints.isEmpty()) << recognizer.lastHints.join(',').toStdString();

    recognizer.fallback = QStringLiteral("rw");
    LanguageDetectionService::detectLanguage("Muraho neza");
    ASSERT_FALSE(recognizer.lastHints.isEmpty());
    EXPECT_EQ(recognizer.lastHints.first(), "zh");
}

// A few words only Turkish or only English settle the pair the recogniser confuses most on short text.
TEST(DetectLanguage, ShortSelectionsOfOnlyTurkishOrOnlyEnglishWordsAreThatLanguage) {
    FakeLanguageRecognizer& recognizer = fakePlatform().fakeLanguageRecognizer();
    recognizer.fallback = QStringLiteral("de");
    const std::pair<const char*, const char*> cases[] = {
        {"teşekkürler", "tr"},
        {"TESEKKURLER!", "tr"},
        {"İyi geceler", "tr"},
        {"\"kolay gelsin\"", "tr"},
        {"good morning", "en"},
        {"\tgood\n\x0bmorning\r\n", "en"},  // any white space between and around
        {"don\u2019t know", "en"},      // typographic apostrophe
        {"tak", "de"},                   // shared with nearby languages: left to the recogniser
        {"🎉 hello 🎂", "en"},
        {"günaydın good morning", "de"}, // more than three words
        {"hello günaydın", "de"},        // words of both
        {"gun", "de"},                   // a word of neither
        {"hello 123", "de"},             // digits
        {"hello2", "de"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(LanguageDetectionService::detectLanguage(QString::fromUtf8(text)), expected) << text;
}

namespace {

bool cld2IsMapped() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libcld2");
}

} // namespace

// The recogniser's library comes in with the first text: the application does not link it.
TEST(Cld2Recognizer, LoadsWithTheFirstTextAndFindsClearLanguagesAndNothingInNoise) {
    QFile app(QStringLiteral(QUILLORA_APP_PATH));
    ASSERT_TRUE(app.open(QIODevice::ReadOnly));
    EXPECT_FALSE(app.readAll().contains("libcld2"));
    LanguageRecognizerOnDemand recognizer(QStringLiteral(QUILLORA_LANGUAGE_MODULE_PATH));
    const auto detect = [&](const QString& text) { return recognizer.dominantLanguage(text, {}); };
    EXPECT_EQ(detect(
                  "The quick brown fox jumps over the lazy dog while the children watch from the garden."),
              "en");
    EXPECT_TRUE(cld2IsMapped());
    EXPECT_EQ(detect(QString::fromUtf8(
                  "Bugün hava çok güzel, arkadaşlarımla birlikte parkta yürüyüşe çıkacağız.")),
              "tr");
    EXPECT_EQ(detect(
                  "Der schnelle braune Fuchs springt über den faulen Hund, während die Kinder zuschauen."),
              "de");
    EXPECT_EQ(detect(""), "");
    EXPECT_EQ(detect("   "), "");
    EXPECT_EQ(detect("12345 67890 !!!"), "");
    // Lone surrogates and control characters must not upset the UTF-8 scanner.
    QString broken = QStringLiteral("abc");
    broken.append(QChar(0xD800));
    broken.append(QChar(0x0001));
    EXPECT_NO_FATAL_FAILURE(detect(broken));
}

namespace {

class Cld2Platform : public FakePlatform {
public:
    Cld2Platform() {
        m_languageRecognizer = std::make_unique<LanguageRecognizerOnDemand>(QUILLORA_LANGUAGE_MODULE_PATH);
    }
};

struct LabelledSample {
    QString expected;
    QString text;
};

QList<LabelledSample> labelledSamples() {
    QFile file(QStringLiteral(QUILLORA_SOURCE_DIR "/tests/services/data/language-samples.tsv"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<LabelledSample> samples;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const qsizetype tab = line.indexOf('\t');
        samples.append({QString::fromUtf8(line.left(tab)), QString::fromUtf8(line.mid(tab + 1))});
    }
    return samples;
}

} // namespace

// Words and short phrases are what users select most; the detected code must be one the table has.
TEST(DetectLanguage, LabelledWordsPhrasesAndSentencesAcrossScripts) {
    const QList<LabelledSample> samples = labelledSamples();
    ASSERT_GE(samples.size(), 50);
    installPlatform(std::make_unique<Cld2Platform>());
    // A Turkish speaker's settings on an English desktop: the hints must not pull English words to Turkish.
    UserDefaults::standard().set(QStringLiteral("defaultSourceLanguage"), QStringLiteral("auto"));
    UserDefaults::standard().set(QStringLiteral("defaultTargetLanguage"), QStringLiteral("tr"));
    int correct = 0;
    int turkish = 0;
    int turkishMissed = 0;
    QStringList misses;
    for (const LabelledSample& sample : samples) {
        const QString detected = LanguageDetectionService::detectLanguage(sample.text);
        EXPECT_TRUE(detected == Language::automaticCode || !Language::find(detected).isAutomatic())
            << detected.toStdString() << " is not a table code";
        const bool right = detected == sample.expected;
        correct += right ? 1 : 0;
        if (sample.expected == QLatin1String("tr")) {
            ++turkish;
            turkishMissed += right ? 0 : 1;
        }
        if (!right)
            misses << sample.text + QStringLiteral(" → ") + detected;
    }
    const double accuracy = double(correct) / double(samples.size());
    std::printf("language detection: %d of %d right (%.0f%%)\n", correct, int(samples.size()), accuracy * 100);
    std::printf("missed: %s\n", qPrintable(misses.join(QStringLiteral("; "))));
    EXPECT_GE(accuracy, 0.93);
    // A Turkish selection taken for another language is translated into Turkish again.
    EXPECT_LE(double(turkishMissed) / double(turkish), 2.0 / 50.0) << turkishMissed << " of " << turkish;
}

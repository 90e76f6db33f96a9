#include "FakePlatform.h"
#include "platform/Cld2LanguageRecognizer.h"
#include "services/LanguageDetectionService.h"

#include <gtest/gtest.h>

TEST(NormalizeLanguageCode, KeepsListedCodesCutsOthersAndRejectsShortOnes) {
    for (const char* kept : {"en", "tr", "fr", "de", "es", "it", "pt", "ru", "zh", "ja", "ko", "ar", "hi"})
        EXPECT_EQ(LanguageDetectionService::normalizeLanguageCode(QString::fromLatin1(kept)), kept);
    EXPECT_EQ(LanguageDetectionService::normalizeLanguageCode("zh-Hant"), "zh");
    EXPECT_EQ(LanguageDetectionService::normalizeLanguageCode("pt-BR"), "pt");
    EXPECT_EQ(LanguageDetectionService::normalizeLanguageCode("nl"), "nl");
    EXPECT_EQ(LanguageDetectionService::normalizeLanguageCode("haw"), "ha");
    EXPECT_EQ(LanguageDetectionService::normalizeLanguageCode("x"), "auto");
    EXPECT_EQ(LanguageDetectionService::normalizeLanguageCode(""), "auto");
}

TEST(DetectLanguage, NormalisesTheRecognisersAnswerAndGivesAutoForNone) {
    FakeLanguageRecognizer& recognizer = fakePlatform().fakeLanguageRecognizer();
    recognizer.answers.insert("你好", "zh-Hant");
    recognizer.answers.insert("Merhaba dünya", "tr");
    recognizer.fallback = QString();
    EXPECT_EQ(LanguageDetectionService::detectLanguage("你好"), "zh");
    EXPECT_EQ(LanguageDetectionService::detectLanguage("Merhaba dünya"), "tr");
    EXPECT_EQ(LanguageDetectionService::detectLanguage("???"), "auto");
    EXPECT_EQ(LanguageDetectionService::detectLanguage(""), "auto");
}

TEST(Cld2Recognizer, FindsClearLanguagesAndNothingInNoise) {
    Cld2LanguageRecognizer recognizer;
    EXPECT_EQ(recognizer.dominantLanguage(
                  "The quick brown fox jumps over the lazy dog while the children watch from the garden."),
              "en");
    EXPECT_EQ(recognizer.dominantLanguage(QString::fromUtf8(
                  "Bugün hava çok güzel, arkadaşlarımla birlikte parkta yürüyüşe çıkacağız.")),
              "tr");
    EXPECT_EQ(recognizer.dominantLanguage(
                  "Der schnelle braune Fuchs springt über den faulen Hund, während die Kinder zuschauen."),
              "de");
    EXPECT_EQ(recognizer.dominantLanguage(""), "");
    EXPECT_EQ(recognizer.dominantLanguage("   "), "");
    EXPECT_EQ(recognizer.dominantLanguage("12345 67890 !!!"), "");
    // Lone surrogates and control characters must not upset the UTF-8 scanner.
    QString broken = QStringLiteral("abc");
    broken.append(QChar(0xD800));
    broken.append(QChar(0x0001));
    EXPECT_NO_FATAL_FAILURE(recognizer.dominantLanguage(broken));
}

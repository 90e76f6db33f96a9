#include "services/RewriteStyle.h"
#include "services/TTSSource.h"
#include "services/TranslationError.h"
#include "services/TranslationService.h"

#include <gtest/gtest.h>

TEST(TranslationServiceEnum, RawValuesDisplayNamesAndOrder) {
    QStringList raw, names;
    for (TranslationService service : allTranslationServices()) {
        raw << rawValue(service);
        names << displayName(service);
    }
    EXPECT_EQ(raw, QStringList({"google", "chatgpt", "gemini", "deepl"}));
    EXPECT_EQ(names, QStringList({"Google", "ChatGPT", "Gemini", "DeepL"}));
    for (TranslationService service : allTranslationServices())
        EXPECT_EQ(translationServiceFromRawValue(rawValue(service)), service);
}

TEST(TranslationServiceEnum, UnknownRawValuesFailOrFallBackToGoogle) {
    for (const char* text : {"Google", "GOOGLE", "", " google", "bing", "deepl "}) {
        EXPECT_FALSE(translationServiceFromRawValue(QString::fromLatin1(text))) << text;
        EXPECT_EQ(translationServiceOrDefault(QString::fromLatin1(text)), TranslationService::Google) << text;
    }
    EXPECT_EQ(translationServiceOrDefault("gemini"), TranslationService::Gemini);
}

TEST(RewriteStyleEnum, RawValuesInOrder) {
    QStringList raw;
    for (RewriteStyle style : allRewriteStyles())
        raw << rawValue(style);
    EXPECT_EQ(raw, QStringList({"regenerate", "friendly", "professional", "concise", "detailed"}));
    EXPECT_EQ(rewriteStyleFromRawValue("concise"), RewriteStyle::Concise);
    EXPECT_FALSE(rewriteStyleFromRawValue("Concise"));
}

TEST(TTSSourceEnum, RawValuesInOrder) {
    QStringList raw;
    for (TTSSource source : allTTSSources())
        raw << rawValue(source);
    EXPECT_EQ(raw, QStringList({"input", "output", "unknown"}));
    EXPECT_EQ(ttsSourceFromRawValue("output"), TTSSource::Output);
    EXPECT_FALSE(ttsSourceFromRawValue("both"));
}

TEST(TranslationErrorTexts, AreTheUserTexts) {
    EXPECT_EQ(TranslationError::emptyText().localizedDescription(), "Translation text cannot be empty");
    EXPECT_EQ(TranslationError::textTooLong().localizedDescription(), "Translation text is too long");
    EXPECT_EQ(TranslationError::network("Connection refused").localizedDescription(),
              "Network error: Connection refused");
    EXPECT_EQ(TranslationError::server("Quota exceeded", 429).localizedDescription(),
              "Server error: Quota exceeded");
    EXPECT_EQ(TranslationError::noResponse().localizedDescription(),
              "No response received from translation service");
    EXPECT_EQ(TranslationError::invalidUrl().localizedDescription(), "Invalid URL configuration.");
    EXPECT_EQ(TranslationError::invalidResponse().localizedDescription(),
              "Invalid response from the server.");
    EXPECT_EQ(TranslationError::decodingError().localizedDescription(), "Error processing server response.");
    EXPECT_TRUE(TranslationError::timedOut().isNetworkError());
    EXPECT_TRUE(TranslationError::timedOut().isTimeout());
    EXPECT_TRUE(TranslationError::server("x", 503).isServerFailure());
    EXPECT_FALSE(TranslationError::server("x", 404).isServerFailure());
    EXPECT_FALSE(TranslationError::network("x").isServerFailure());
}

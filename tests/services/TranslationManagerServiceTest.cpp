#include "services/TranslationManagerService.h"

#include "DevApiServer.h"
#include "TestUtils.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/UserDefaults.h"
#include "services/SystemLanguage.h"
#include "services/TranslationManager.h"

#include <gtest/gtest.h>

namespace {

using TranslateResult = Result<TranslationResponse, TranslationError>;

QString repeat(const QString& unit, int count) {
    QString text;
    for (int i = 0; i < count; ++i)
        text += unit;
    return text;
}

struct Collected {
    int calls = 0;
    std::optional<TranslateResult> result;
};

Collected translateThroughService(const QString& text) {
    auto collected = std::make_shared<Collected>();
    TranslationManagerService::shared().translate(text, Language::find("auto"), Language::find("tr"),
                                                  [collected](TranslateResult r) {
                                                      ++collected->calls;
                                                      collected->result = std::move(r);
                                                  });
    EXPECT_EQ(collected->calls, 0) << "the completion runs on a later turn, never inside translate()";
    EXPECT_TRUE(waitUntil([&] { return collected->calls > 0; }));
    runQueuedWork();
    return *collected;
}

} // namespace

TEST(CharacterCount, CountsGraphemeClusters) {
    EXPECT_EQ(TranslationManagerService::characterCount(""), 0);
    EXPECT_EQ(TranslationManagerService::characterCount("abc"), 3);
    EXPECT_EQ(TranslationManagerService::characterCount(QString::fromUtf8("👍🏽")), 1);
    EXPECT_EQ(TranslationManagerService::characterCount(QString::fromUtf8("👨‍👩‍👧‍👦x")), 2);
    EXPECT_EQ(TranslationManagerService::characterCount(QString::fromUtf8("e\u0301")), 1);
    EXPECT_EQ(TranslationManagerService::characterCount("\r\n"), 1);
    // Counting stops just past the limit, so a huge paste costs no more than the limit.
    EXPECT_EQ(TranslationManagerService::characterCount(repeat("a", 100000)), 5001);
}

TEST(TranslationManagerServiceLimits, RefusesEmptyAndTooLongTextAndSendsNothing) {
    UserDefaults::standard().set("apiBaseURL", "http://127.0.0.1:1");
    Collected empty = translateThroughService("");
    ASSERT_EQ(empty.calls, 1);
    EXPECT_EQ(empty.result->error().localizedDescription(), "Translation text cannot be empty");

    for (const QString& unit :
         {QStringLiteral("a"), QString::fromUtf8("👍🏽"), QString::fromUtf8("e\u0301")}) {
        Collected tooLong = translateThroughService(repeat(unit, 5001));
        ASSERT_EQ(tooLong.calls, 1);
        EXPECT_EQ(tooLong.result->error().localizedDescription(), "Translation text is too long");
    }
}

TEST(TranslationManagerServiceLimits, SendsExactlyFiveThousandCharactersWithTheStoredProvider) {
    DevApiServer api;
    ASSERT_TRUE(api.start());
    api.useAsApiBase();
    UserDefaults::standard().set("defaultTranslationService", "chatgpt");
    // 5000 emoji are 20000 UTF-16 units but 5000 characters to the user.
    const QString text = repeat(QString::fromUtf8("👍🏽"), 5000);
    Collected sent = translateThroughService(text);
    ASSERT_EQ(sent.calls, 1);
    ASSERT_TRUE(*sent.result) << qPrintable(sent.result->error().localizedDescription());
    ASSERT_TRUE(api.waitForRequests(1));
    const QJsonObject entry = api.lastRequest();
    EXPECT_EQ(entry["path"].toString(), "/api/translate/chatgpt");
    EXPECT_EQ(entry["body"]["text"].toString(), text);
    EXPECT_EQ(entry["body"]["trigger_source"].toString(), "menu");
    EXPECT_EQ(entry["body"]["process_type"].toString(), "translate");
    EXPECT_EQ(entry["body"]["target_language"].toString(), "tr");

    // An unknown stored provider means google.
    UserDefaults::standard().set("defaultTranslationService", "Bing");
    ASSERT_TRUE(*translateThroughService(repeat("a", 5000)).result);
    EXPECT_EQ(api.lastRequest()["path"].toString(), "/api/translate/google");
}

TEST(TranslationManagerServiceDefaults, LoadsDefaultsAndFallsBackForUnknownValues) {
    TranslationManagerService& service = TranslationManagerService::shared();
    auto settings = service.loadDefaultSettings();
    EXPECT_EQ(settings.source.code, "tr");
    EXPECT_EQ(settings.target.code, systemLanguageCode());
    EXPECT_EQ(settings.provider, TranslationService::Google);
    EXPECT_FALSE(UserDefaults::standard().contains("defaultSourceLanguage")) << "loading writes nothing";

    UserDefaults& defaults = UserDefaults::standard();
    defaults.set("defaultSourceLanguage", "zz");
    defaults.set("defaultTargetLanguage", "auto");
    defaults.set("defaultTranslationService", "GOOGLE-ish");
    settings = service.loadDefaultSettings();
    EXPECT_EQ(settings.source.code, "auto");
    EXPECT_EQ(settings.target.code, "en") << "a target is never Automatic";
    EXPECT_EQ(settings.provider, TranslationService::Google);

    defaults.set("defaultTargetLanguage", "not-a-code");
    EXPECT_EQ(service.loadDefaultSettings().target.code, "en");
}

TEST(TranslationManagerServiceDefaults, SaveWritesCodesAndRawValueAndLoadReadsThemBack) {
    TranslationManagerService& service = TranslationManagerService::shared();
    service.saveDefaultSettings(Language::find("auto"), Language::find("zh-tw"), TranslationService::DeepL);
    EXPECT_EQ(UserDefaults::standard().string("defaultSourceLanguage"), "auto");
    EXPECT_EQ(UserDefaults::standard().string("defaultTargetLanguage"), "zh-tw");
    EXPECT_EQ(UserDefaults::standard().string("defaultTranslationService"), "deepl");
    const auto settings = service.loadDefaultSettings();
    EXPECT_EQ(settings.source.name, "Automatic");
    EXPECT_EQ(settings.target.name, "Chinese Traditional");
    EXPECT_EQ(settings.provider, TranslationService::DeepL);
}

TEST(TranslationManagerNotifications, StoresTheTriggerSourceOnlyWhenItIsText) {
    TranslationManager& manager = TranslationManager::shared();
    manager.startListeningForNotifications();
    manager.startListeningForNotifications();
    EXPECT_TRUE(manager.isListeningForNotifications());
    EXPECT_EQ(NotificationCenter::shared().observerCount(Notifications::TranslateWithTriggerSource), 1);
    EXPECT_EQ(NotificationCenter::shared().observerCount(Notifications::TranslateSelectedText), 1);

    NotificationCenter::shared().post(Notifications::TranslateWithTriggerSource,
                                      {{"trigger_source", "shortcut"}});
    EXPECT_EQ(UserDefaults::standard().string("last_trigger_source"), "shortcut");
    NotificationCenter::shared().post(Notifications::TranslateWithTriggerSource, {{"trigger_source", 42}});
    NotificationCenter::shared().post(Notifications::TranslateWithTriggerSource, {});
    EXPECT_EQ(UserDefaults::standard().string("last_trigger_source"), "shortcut");
}

TEST(TranslationManagerNotifications, HandsSelectedTextToTheInstalledReceiver) {
    TranslationManager& manager = TranslationManager::shared();
    manager.startListeningForNotifications();
    QStringList received;
    manager.setSelectedTextReceiver([&](const QString& text, const QString& source, const QString& target) {
        received = {text, source, target};
    });

    NotificationCenter::shared().post(
        Notifications::TranslateSelectedText,
        {{"text", "Merhaba"}, {"sourceLanguage", "tr"}, {"targetLanguage", "en"}});
    EXPECT_EQ(received, QStringList({"Merhaba", "tr", "en"}));

    received.clear();
    NotificationCenter::shared().post(Notifications::TranslateSelectedText,
                                      {{"text", "Merhaba"}, {"sourceLanguage", "tr"}});
    NotificationCenter::shared().post(Notifications::TranslateSelectedText,
                                      {{"text", 5}, {"sourceLanguage", "tr"}, {"targetLanguage", "en"}});
    EXPECT_TRUE(received.isEmpty());

    manager.setSelectedTextReceiver(nullptr);
    EXPECT_NO_FATAL_FAILURE(NotificationCenter::shared().post(
        Notifications::TranslateSelectedText,
        {{"text", "x"}, {"sourceLanguage", "auto"}, {"targetLanguage", "en"}}));
}

TEST(TranslationManagerNotifications, IgnoresSelectedTextWhileATranslationRuns) {
    DevApiServer api;
    ASSERT_TRUE(api.start());
    api.useAsApiBase();
    ASSERT_TRUE(api.failNext("slow", 1, 300));
    TranslationManager& manager = TranslationManager::shared();
    manager.startListeningForNotifications();
    int received = 0;
    manager.setSelectedTextReceiver([&](const QString&, const QString&, const QString&) { ++received; });

    bool done = false;
    manager.translateText("hello", "auto", "tr", TranslationService::Google, "menu", "translate",
                          [&](TranslateResult) { done = true; });
    const QVariantMap info{{"text", "x"}, {"sourceLanguage", "auto"}, {"targetLanguage", "en"}};
    NotificationCenter::shared().post(Notifications::TranslateSelectedText, info);
    EXPECT_EQ(received, 0);
    ASSERT_TRUE(waitUntil([&] { return done; }));
    EXPECT_FALSE(manager.isTranslating());
    NotificationCenter::shared().post(Notifications::TranslateSelectedText, info);
    EXPECT_EQ(received, 1);
    manager.setSelectedTextReceiver(nullptr);
}

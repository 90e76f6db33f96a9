#include "menubar/translator/MenuBarView.h"

#include "../../services/ScriptedHttpServer.h"
#include "DevApiTest.h"
#include "TestUtils.h"
#include "menubar/history/SavedTranslationsView.h"
#include "menubar/translator/LanguageSelector.h"
#include "menubar/translator/TextInputView.h"
#include "menubar/translator/TranslationHeader.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/UserDefaults.h"
#include "services/TranslationManager.h"
#include "ui/SymbolButton.h"
#include "ui/ToastManager.h"
#include "ui/ToastView.h"

#include <QJsonObject>
#include <QSignalSpy>
#include <QTextEdit>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QString kSource = QStringLiteral("defaultSourceLanguage");
const QString kTarget = QStringLiteral("defaultTargetLanguage");
const QString kService = QStringLiteral("defaultTranslationService");

void post(const QString& name, const QVariantMap& userInfo = {}) {
    NotificationCenter::shared().post(name, userInfo);
}

class MenuBarViewTest : public DevApiTest {
protected:
    void SetUp() override {
        DevApiTest::SetUp();
        UserDefaults& defaults = UserDefaults::standard();
        defaults.set(kSource, QStringLiteral("en"));
        defaults.set(kTarget, QStringLiteral("tr"));
        defaults.set(kService, QStringLiteral("google"));
        MenuBarView::setHistoryRecorder(
            [this](const TranslationSession::Translation& record) { m_recorded.append(record); });
        m_view = std::make_unique<MenuBarView>();
        // The stored pair and provider arrive on the next turn, as they would on screen.
        ASSERT_TRUE(waitUntil([this] { return m_view->targetLanguage().code == QLatin1String("tr"); }));
    }
    void TearDown() override {
        m_view.reset();
        MenuBarView::resetHistoryRecorder();
    }

    MenuBarView& view() { return *m_view; }
    int requests() const { return int(s_api->requestLog().size()); }
    QJsonObject lastBody() const { return s_api->lastRequest().value("body").toObject(); }
    bool settled() {
        return waitUntil([this] { return !m_view->isTranslating(); }, 10000);
    }
    // Once the queued work has run, a request started meanwhile is still under way or the stand-in has
    // heard it: none is under way, and the stand-in heard `count` in all.
    void expectRequestsSent(int count) {
        runQueuedWork();
        EXPECT_FALSE(TranslationManager::shared().isTranslating());
        EXPECT_EQ(requests(), count);
    }
    // Types a text and presses Return in the input, as the user does.
    void typeAndSubmit(const QString& text) {
        m_view->textInput()->editor()->setPlainText(text);
        m_view->textInput()->submit();
    }

    std::unique_ptr<MenuBarView> m_view;
    QList<TranslationSession::Translation> m_recorded;
};

} // namespace

TEST_F(MenuBarViewTest, ReturnTranslatesWithTheShownPairAndProviderAndRecordsTheResult) {
    typeAndSubmit(QStringLiteral("hello"));
    EXPECT_EQ(view().inputText(), QStringLiteral("hello"));
    ASSERT_TRUE(waitUntil([this] { return view().isTranslating(); }));
    ASSERT_TRUE(settled());

    EXPECT_EQ(view().translatedText(), QStringLiteral("merhaba"));
    ASSERT_TRUE(view().translationResponse());
    EXPECT_EQ(view().translationResponse()->sourceText, QStringLiteral("hello"));
    const QJsonObject request = s_api->lastRequest();
    EXPECT_EQ(request.value("path").toString(), QStringLiteral("/api/translate/google"));
    EXPECT_EQ(lastBody().value("source_language").toString(), QStringLiteral("en"));
    EXPECT_EQ(lastBody().value("target_language").toString(), QStringLiteral("tr"));
    EXPECT_EQ(lastBody().value("trigger_source").toString(), QStringLiteral("menu"));
    EXPECT_EQ(lastBody().value("process_type").toString(), QStringLiteral("translate"));

    ASSERT_EQ(m_recorded.size(), 1);
    EXPECT_EQ(m_recorded.first().sourceText, QStringLiteral("hello"));
    EXPECT_EQ(m_recorded.first().translatedText, QStringLiteral("merhaba"));
    EXPECT_EQ(m_recorded.first().targetLanguage, QStringLiteral("tr"));

    // A provider chosen in the view is stored and used by the next request.
    view().setSelectedService(TranslationService::DeepL);
    EXPECT_EQ(UserDefaults::standard().string(kService), QStringLiteral("deepl"));
    view().setTargetLanguage(Language::find(QStringLiteral("de")));
    EXPECT_EQ(UserDefaults::standard().string(kTarget), QStringLiteral("de"));
    view().translate();
    ASSERT_TRUE(settled());
    EXPECT_EQ(s_api->lastRequest().value("path").toString(), QStringLiteral("/api/translate/deepl"));
    EXPECT_EQ(view().translatedText(), QStringLiteral("hallo"));
}

TEST_F(MenuBarViewTest, EveryFinishedTranslationIsRecordedOnceAndEachShowingMovesItUp) {
    // "Hello" and "hello " both answer "merhaba": the output text does not change, the translation is new.
    for (const char* text : {"hello", "Hello", "hello "}) {
        const int before = requests();
        typeAndSubmit(QString::fromLatin1(text));
        ASSERT_TRUE(waitUntil([&] { return requests() > before; }));
        ASSERT_TRUE(settled());
        ASSERT_EQ(view().translatedText(), QStringLiteral("merhaba"));
        ASSERT_FALSE(m_recorded.isEmpty());
        EXPECT_EQ(m_recorded.last().sourceText, QString::fromLatin1(text));
    }
    EXPECT_EQ(m_recorded.size(), 3) << "once per request, not at every refresh";
    // Return again on the translation shown: its record keeps its time and place.
    const int before = requests();
    view().textInput()->submit();
    ASSERT_TRUE(waitUntil([&] { return requests() > before; }));
    ASSERT_TRUE(settled());
    EXPECT_EQ(m_recorded.size(), 3);

    // Each showing of the translator records the translation on screen again, which moves it to the top.
    view().show();
    view().hide();
    view().show();
    ASSERT_EQ(m_recorded.size(), 5);
    EXPECT_EQ(m_recorded.last().sourceText, QStringLiteral("hello "));
    EXPECT_EQ(m_recorded.last().translatedText, QStringLiteral("merhaba"));
    post(Notifications::LoadTranslation, {{QStringLiteral("sourceText"), QStringLiteral("world")},
                                          {QStringLiteral("translatedText"), QStringLiteral("dünya")},
                                          {QStringLiteral("sourceLanguageCode"), QStringLiteral("en")},
                                          {QStringLiteral("targetLanguageCode"), QStringLiteral("tr")},
                                          {QStringLiteral("serviceRawValue"), QStringLiteral("deepl")}});
    const qsizetype loaded = m_recorded.size();
    view().hide();
    view().show();
    ASSERT_EQ(m_recorded.size(), loaded + 1);
    EXPECT_EQ(m_recorded.last().sourceText, QStringLiteral("world"));
    EXPECT_EQ(m_recorded.last().service, TranslationService::DeepL);
    // An emptied input leaves nothing on screen to record.
    view().setInputText(QString());
    view().hide();
    view().show();
    runQueuedWork();
    EXPECT_EQ(m_recorded.size(), loaded + 1);
}

TEST_F(MenuBarViewTest, GuardsLetOneRequestThroughAndSendSpacesAsTheyAre) {
    // Empty input: nothing is sent.
    view().translate();
    expectRequestsSent(0);

    // Two quick submits of the same Return send one request.
    typeAndSubmit(QStringLiteral("   "));
    view().textInput()->submit();
    // The request starts on a later turn.
    ASSERT_TRUE(waitUntil([this] { return requests() == 1; }));
    ASSERT_TRUE(settled());
    expectRequestsSent(1);
    EXPECT_EQ(lastBody().value("text").toString(), QStringLiteral("   "));

    // A start within the swap's half second does nothing.
    view().setInputText(QStringLiteral("book"));
    post(Notifications::SwapTranslation);
    EXPECT_TRUE(view().isSwapOperation());
    view().translate();
    expectRequestsSent(1);
    EXPECT_TRUE(waitUntil([this] { return !view().isSwapOperation(); }, 10000));
}

TEST_F(MenuBarViewTest, FailuresShowABannerThatStaysUntilClosedAndNeverLeaveAnotherTextsOutput) {
    typeAndSubmit(QStringLiteral("book"));
    ASSERT_TRUE(waitUntil([this] { return view().translatedText() == QLatin1String("kitap"); }, 10000));
    ASSERT_TRUE(view().actionBarSlot()->isVisibleTo(&view()));

    ASSERT_TRUE(s_api->failNext(QStringLiteral("500")));
    typeAndSubmit(QStringLiteral("water"));
    ASSERT_TRUE(waitUntil([this] { return view().showAlert(); }, 10000));
    EXPECT_FALSE(view().isTranslating());
    EXPECT_EQ(view().alertMessage(),
              QStringLiteral("Translation failed: Server error: Simulated server failure"));
    EXPECT_EQ(view().alertType(), InlineAlert::AlertType::Error);
    EXPECT_TRUE(view().inlineAlert()->isVisibleTo(&view()));
    // "kitap" is no translation of "water": nothing is left to copy, favorite or listen to.
    EXPECT_TRUE(view().translatedText().isEmpty());
    EXPECT_TRUE(view().outputView()->text().isEmpty());
    EXPECT_FALSE(view().translationResponse());
    EXPECT_FALSE(view().actionBarSlot()->isVisibleTo(&view()));
    EXPECT_EQ(m_recorded.size(), 1);

    // The banner outlives the next translation; only its close button takes it away.
    view().translate();
    EXPECT_TRUE(view().showAlert());
    ASSERT_TRUE(settled());
    EXPECT_EQ(view().translatedText(), QStringLiteral("su"));
    EXPECT_TRUE(view().showAlert());
    EXPECT_TRUE(view().inlineAlert()->isVisibleTo(&view()));
    view().inlineAlert()->dismiss();
    EXPECT_FALSE(view().showAlert());

    // A failed retry of the same text keeps its translation.
    ASSERT_TRUE(s_api->failNext(QStringLiteral("500")));
    view().translate();
    ASSERT_TRUE(waitUntil([this] { return view().showAlert(); }, 10000));
    EXPECT_EQ(view().translatedText(), QStringLiteral("su"));
    EXPECT_TRUE(view().translationResponse());

    // Over the service's limit the service's own refusal is the banner.
    typeAndSubmit(QString(5001, u'a'));
    ASSERT_TRUE(
        waitUntil([this] { return view().alertMessage().endsWith(QLatin1String("too long")); }, 10000));
    EXPECT_EQ(view().alertMessage(), QStringLiteral("Translation failed: Translation text is too long"));
    EXPECT_TRUE(view().showAlert());
    EXPECT_TRUE(view().translatedText().isEmpty());
}

TEST_F(MenuBarViewTest, AnswersThatNoLongerBelongToTheInputAreDropped) {
    // Each slow request below times out after this, longer than the stand-in takes to answer: by the
    // time its queued work has run, the request has ended with its answer.
    constexpr int timeoutMs = 600;
    // A new text handed over during a request replaces it; the old answer never fills the new input.
    ASSERT_TRUE(s_api->failNext(QStringLiteral("slow"), 1, 400));
    {
        WebTimeout limit(timeoutMs);
        typeAndSubmit(QStringLiteral("cat"));
        ASSERT_TRUE(waitUntil([this] { return view().isTranslating(); }));
    }
    post(Notifications::SetTranslationInput, {{QStringLiteral("text"), QStringLiteral("house")}});
    EXPECT_EQ(view().inputText(), QStringLiteral("house"));
    ASSERT_TRUE(waitUntil([this] { return view().translatedText() == QLatin1String("ev"); }, 10000));
    runQueuedWork(timeoutMs);
    EXPECT_EQ(view().translatedText(), QStringLiteral("ev"));
    ASSERT_EQ(m_recorded.size(), 1);
    EXPECT_EQ(m_recorded.last().sourceText, QStringLiteral("house"));

    // A loaded translation is not overwritten by a request still running.
    ASSERT_TRUE(s_api->failNext(QStringLiteral("slow"), 1, 400));
    {
        WebTimeout limit(timeoutMs);
        typeAndSubmit(QStringLiteral("read"));
        ASSERT_TRUE(waitUntil([this] { return view().isTranslating(); }));
    }
    post(Notifications::LoadTranslation, {{QStringLiteral("sourceText"), QStringLiteral("world")},
                                          {QStringLiteral("translatedText"), QStringLiteral("dünya")},
                                          {QStringLiteral("sourceLanguageCode"), QStringLiteral("en")},
                                          {QStringLiteral("targetLanguageCode"), QStringLiteral("tr")},
                                          {QStringLiteral("serviceRawValue"), QStringLiteral("google")}});
    runQueuedWork(timeoutMs);
    EXPECT_EQ(view().inputText(), QStringLiteral("world"));
    EXPECT_EQ(view().translatedText(), QStringLiteral("dünya"));
}

TEST_F(MenuBarViewTest, TheSameSelectionHandedOverAgainIsSentAgainOnceItsRequestEnded) {
    const QVariantMap selection{{QStringLiteral("text"), QStringLiteral("good morning")},
                                {QStringLiteral("sourceLanguage"), QStringLiteral("auto")},
                                {QStringLiteral("targetLanguage"), QStringLiteral("de")}};
    ASSERT_TRUE(s_api->failNext(QStringLiteral("slow"), 1, 300));
    post(Notifications::TranslateSelectedText, selection);
    EXPECT_EQ(view().sourceLanguage().code, QStringLiteral("auto"));
    EXPECT_EQ(view().targetLanguage().code, QStringLiteral("de"));
    ASSERT_TRUE(waitUntil([this] { return view().isTranslating(); }));
    // Another selection while the request runs is lost with its languages, the same text too.
    for (const char* text : {"good morning", "good night"}) {
        post(Notifications::TranslateSelectedText, {{QStringLiteral("text"), QString::fromLatin1(text)},
                                                    {QStringLiteral("sourceLanguage"), QStringLiteral("en")},
                                                    {QStringLiteral("targetLanguage"), QStringLiteral("fr")}});
        EXPECT_EQ(view().inputText(), QStringLiteral("good morning"));
        EXPECT_EQ(view().sourceLanguage().code, QStringLiteral("auto"));
        EXPECT_EQ(view().targetLanguage().code, QStringLiteral("de"));
        EXPECT_TRUE(view().isTranslating());
    }
    // The manager's hand-over of the same text, during and after the request.
    post(Notifications::SetTranslationLanguages, {{QStringLiteral("sourceLanguage"), QStringLiteral("auto")},
                                                  {QStringLiteral("targetLanguage"), QStringLiteral("de")}});
    post(Notifications::SetTranslationInput, {{QStringLiteral("text"), QStringLiteral("good morning")}});
    ASSERT_TRUE(settled());
    expectRequestsSent(1);
    post(Notifications::SetTranslationInput, {{QStringLiteral("text"), QStringLiteral("good morning")}});
    ASSERT_TRUE(waitUntil([this] { return requests() == 2; }, 10000));
    ASSERT_TRUE(settled());
    expectRequestsSent(2);
    EXPECT_EQ(view().translatedText(), QStringLiteral("guten Morgen"));
    EXPECT_EQ(UserDefaults::standard().string(kSource), QStringLiteral("auto"));
    EXPECT_EQ(UserDefaults::standard().string(kTarget), QStringLiteral("de"));
}

TEST_F(MenuBarViewTest, ALanguagePairFromOutsideNeverMakesAutomaticTheTarget) {
    struct Case {
        QVariantMap userInfo;
        QString source;
        QString target;
    };
    const QList<Case> cases = {
        {{{QStringLiteral("sourceLanguage"), QStringLiteral("auto")},
          {QStringLiteral("targetLanguage"), QStringLiteral("fr")}},
         QStringLiteral("auto"),
         QStringLiteral("fr")},
        {{{QStringLiteral("sourceLanguage"), QStringLiteral("xx")},
          {QStringLiteral("targetLanguage"), QStringLiteral("auto")}},
         QStringLiteral("auto"),
         QStringLiteral("en")},
        {{{QStringLiteral("sourceLanguage"), QStringLiteral("de")},
          {QStringLiteral("targetLanguage"), QStringLiteral("zz")}},
         QStringLiteral("de"),
         QStringLiteral("en")},
        // Only one of the two: nothing changes.
        {{{QStringLiteral("sourceLanguage"), QStringLiteral("ja")}},
         QStringLiteral("de"),
         QStringLiteral("en")},
        {{{QStringLiteral("sourceLanguage"), 7}, {QStringLiteral("targetLanguage"), QStringLiteral("ja")}},
         QStringLiteral("de"),
         QStringLiteral("en")},
    };
    for (const Case& c : cases) {
        post(Notifications::SetTranslationLanguages, c.userInfo);
        EXPECT_EQ(view().sourceLanguage().code, c.source)
            << c.userInfo.value("sourceLanguage").toString().toStdString();
        EXPECT_EQ(view().targetLanguage().code, c.target)
            << c.userInfo.value("targetLanguage").toString().toStdString();
    }
    // A stored target of "auto" (a selection default) or of no language is read as English, not as a
    // target of "Automatic".
    for (auto [stored, source] : {std::pair("auto", "fr"), std::pair("zz", "ja")}) {
        UserDefaults::standard().set(kSource, QString::fromLatin1(source));
        UserDefaults::standard().set(kTarget, QString::fromLatin1(stored));
        post(Notifications::SettingsReset);
        // Source and target are read together.
        ASSERT_TRUE(waitUntil([&] { return view().sourceLanguage().code == QLatin1String(source); }));
        EXPECT_EQ(view().targetLanguage().code, QStringLiteral("en")) << stored;
    }
}

TEST_F(MenuBarViewTest, InlineAlertNotificationChoosesItsKindByExactName) {
    const QList<std::pair<QVariant, InlineAlert::AlertType>> cases = {
        {QStringLiteral("info"), InlineAlert::AlertType::Info},
        {QStringLiteral("warning"), InlineAlert::AlertType::Warning},
        {QStringLiteral("error"), InlineAlert::AlertType::Error},
        {QStringLiteral("success"), InlineAlert::AlertType::Success},
        {QStringLiteral("Error"), InlineAlert::AlertType::Warning},
        {QVariant(), InlineAlert::AlertType::Warning},
    };
    for (const auto& [type, expected] : cases) {
        view().setShowAlert(false);
        QVariantMap info{{QStringLiteral("message"), QStringLiteral("Note")}};
        if (type.isValid())
            info.insert(QStringLiteral("type"), type);
        post(Notifications::ShowInlineAlert, info);
        EXPECT_TRUE(view().showAlert());
        EXPECT_EQ(view().alertType(), expected) << type.toString().toStdString();
    }
    view().setShowAlert(false);
    post(Notifications::ShowInlineAlert, {{QStringLiteral("type"), QStringLiteral("error")}});
    EXPECT_FALSE(view().showAlert());
    // The close button hides the banner and clears the flag.
    post(Notifications::ShowInlineAlert, {{QStringLiteral("message"), QStringLiteral("Bye")}});
    view().inlineAlert()->dismiss();
    EXPECT_FALSE(view().showAlert());
}

TEST_F(MenuBarViewTest, SwapExchangesThePairAndTurnsTheOutputIntoTheInput) {
    // Posted with the source on "Automatic" (the swap button does not offer it then), it swaps all the same.
    view().setSourceLanguage(Language::find(QStringLiteral("auto")));
    EXPECT_FALSE(view().languageSelector()->swapButton()->isEnabled());
    post(Notifications::SwapTranslation);
    EXPECT_EQ(view().sourceLanguage().code, QStringLiteral("tr"));
    EXPECT_EQ(view().targetLanguage().code, QStringLiteral("auto"));
    EXPECT_EQ(UserDefaults::standard().string(kTarget), QStringLiteral("auto"));
    ASSERT_TRUE(waitUntil([this] { return !view().isSwapOperation(); }, 10000));
    view().setSourceLanguage(Language::find(QStringLiteral("en")));
    view().setTargetLanguage(Language::find(QStringLiteral("tr")));

    // While the output is empty a running request does not hold the swap back; its answer keeps the pair
    // it was sent with and ends the swap at once.
    typeAndSubmit(QStringLiteral("cat"));
    ASSERT_TRUE(waitUntil([this] { return view().isTranslating(); }));
    EXPECT_TRUE(view().languageSelector()->swapButton()->isEnabled());
    post(Notifications::SwapTranslation);
    EXPECT_EQ(view().sourceLanguage().code, QStringLiteral("tr"));
    EXPECT_EQ(view().targetLanguage().code, QStringLiteral("en"));
    EXPECT_EQ(view().inputText(), QStringLiteral("cat"));
    EXPECT_TRUE(view().isSwapOperation());
    ASSERT_TRUE(settled());
    EXPECT_FALSE(view().isSwapOperation());
    ASSERT_EQ(view().translatedText(), QStringLiteral("kedi"));
    ASSERT_FALSE(m_recorded.isEmpty());
    EXPECT_EQ(m_recorded.last().sourceLanguage, QStringLiteral("en"));
    EXPECT_EQ(m_recorded.last().targetLanguage, QStringLiteral("tr"));

    // With an output on screen, a running request turns the swap away; the button stays offered.
    view().setSourceLanguage(Language::find(QStringLiteral("en")));
    view().setTargetLanguage(Language::find(QStringLiteral("tr")));
    typeAndSubmit(QStringLiteral("cat"));
    ASSERT_TRUE(waitUntil([this] { return view().isTranslating(); }));
    EXPECT_TRUE(view().languageSelector()->swapButton()->isEnabled());
    view().languageSelector()->swapButton()->click();
    EXPECT_EQ(view().sourceLanguage().code, QStringLiteral("en"));
    EXPECT_FALSE(view().isSwapOperation());
    ASSERT_TRUE(settled());
    ASSERT_EQ(view().translatedText(), QStringLiteral("kedi"));
    ASSERT_TRUE(view().translationResponse());

    post(Notifications::SwapTranslation, {{QStringLiteral("isManualSwap"), true}});
    EXPECT_EQ(view().sourceLanguage().code, QStringLiteral("tr"));
    EXPECT_EQ(view().targetLanguage().code, QStringLiteral("en"));
    EXPECT_EQ(view().inputText(), QStringLiteral("kedi"));
    EXPECT_TRUE(view().translatedText().isEmpty());
    EXPECT_FALSE(view().translationResponse());
    EXPECT_EQ(UserDefaults::standard().string(kSource), QStringLiteral("tr"));
    EXPECT_EQ(UserDefaults::standard().string(kTarget), QStringLiteral("en"));
    EXPECT_TRUE(view().isSwapOperation());
    // A provider chosen during the swap is not stored, yet it is the one the next request uses.
    view().setSelectedService(TranslationService::ChatGPT);
    EXPECT_EQ(UserDefaults::standard().string(kService), QStringLiteral("google"));
    EXPECT_TRUE(waitUntil([this] { return !view().isSwapOperation(); }, 10000));
    EXPECT_EQ(requests(), 2);
    view().translate();
    ASSERT_TRUE(settled());
    EXPECT_EQ(s_api->lastRequest().value("path").toString(), QStringLiteral("/api/translate/chatgpt"));
    EXPECT_EQ(lastBody().value("text").toString(), QStringLiteral("kedi"));
}

TEST_F(MenuBarViewTest, LoadTranslationFillsTheViewWithoutTranslating) {
    QSignalSpy showRequests(&view(), &MenuBarView::showPopoverRequested);
    typeAndSubmit(QStringLiteral("cat"));
    ASSERT_TRUE(waitUntil([this] { return !view().translatedText().isEmpty(); }, 10000));
    ASSERT_TRUE(view().translationResponse());
    const int sent = requests();

    post(Notifications::LoadTranslation, {{QStringLiteral("sourceText"), QStringLiteral("Buch")},
                                          {QStringLiteral("translatedText"), QStringLiteral("book")},
                                          {QStringLiteral("sourceLanguageCode"), QStringLiteral("de")},
                                          {QStringLiteral("targetLanguageCode"), QStringLiteral("xx")},
                                          {QStringLiteral("serviceRawValue"), QStringLiteral("gemini")}});
    EXPECT_EQ(view().inputText(), QStringLiteral("Buch"));
    EXPECT_EQ(view().translatedText(), QStringLiteral("book"));
    EXPECT_EQ(view().sourceLanguage().code, QStringLiteral("de"));
    EXPECT_EQ(view().targetLanguage().code, QStringLiteral("en"));
    EXPECT_EQ(view().selectedService(), TranslationService::Gemini);
    // The alternatives of the earlier translation are gone with it.
    EXPECT_FALSE(view().translationResponse());
    EXPECT_EQ(showRequests.count(), 1);
    EXPECT_EQ(m_recorded.last().translatedText, QStringLiteral("book"));

    // An unknown provider is Google; without "translatedText" nothing changes.
    post(Notifications::LoadTranslation, {{QStringLiteral("sourceText"), QStringLiteral("a")},
                                          {QStringLiteral("translatedText"), QStringLiteral("b")},
                                          {QStringLiteral("sourceLanguageCode"), QStringLiteral("en")},
                                          {QStringLiteral("targetLanguageCode"), QStringLiteral("de")},
                                          {QStringLiteral("serviceRawValue"), QStringLiteral("bing")}});
    EXPECT_EQ(view().selectedService(), TranslationService::Google);
    post(Notifications::LoadTranslation, {{QStringLiteral("sourceText"), QStringLiteral("x")},
                                          {QStringLiteral("sourceLanguageCode"), QStringLiteral("en")},
                                          {QStringLiteral("targetLanguageCode"), QStringLiteral("de")}});
    EXPECT_EQ(view().inputText(), QStringLiteral("a"));
    expectRequestsSent(sent);
}

TEST_F(MenuBarViewTest, ObserversLiveFromCreationToDestruction) {
    QSignalSpy history(&view(), &MenuBarView::historyWindowVisibleChanged);
    // Never shown, yet it hears everything.
    EXPECT_FALSE(view().isVisible());
    EXPECT_TRUE(view().isListeningForNotifications());
    post(Notifications::OpenHistoryWindow);
    post(Notifications::OpenHistoryWindow);
    EXPECT_TRUE(view().showHistoryWindow());
    EXPECT_EQ(history.count(), 1);
    post(Notifications::CloseHistoryWindow);
    EXPECT_FALSE(view().showHistoryWindow());
    post(Notifications::OpenFavoritesWindow);
    EXPECT_TRUE(view().showFavoritesWindow());

    // Showing it registers nothing twice.
    const int observers = NotificationCenter::shared().observerCount(Notifications::LoadTranslation);
    view().show();
    view().hide();
    view().show();
    EXPECT_EQ(NotificationCenter::shared().observerCount(Notifications::LoadTranslation), observers);

    m_view.reset();
    EXPECT_EQ(NotificationCenter::shared().observerCount(Notifications::LoadTranslation), observers - 1);
    post(Notifications::SetTranslationInput, {{QStringLiteral("text"), QStringLiteral("hello")}});
    expectRequestsSent(0);
}

TEST_F(MenuBarViewTest, AnAnswerIsShownAndRecordedWithWhatWasSentWhateverChangedMeanwhile) {
    ScriptedHttpServer server;
    ASSERT_TRUE(server.listen());
    UserDefaults::standard().set(QStringLiteral("apiBaseURL"), server.baseUrl());
    server.delayMs = 300;
    // No "sourceText" in the answer.
    server.response = ScriptedHttpServer::answer(200, "OK", R"({"translation":"merhaba"})");
    struct Case {
        const char* name;
        std::function<void()> meanwhile;
        QString input;
    };
    const QList<Case> cases = {
        {"edited input", [this] { view().textInput()->editor()->setPlainText(QStringLiteral("hello there")); },
         QStringLiteral("hello there")},
        // Emptying the input does not cancel the request.
        {"emptied input", [this] { view().textInput()->clearButton()->click(); }, QString()},
        {"other provider and target",
         [this] {
             view().setSelectedService(TranslationService::DeepL);
             view().setTargetLanguage(Language::find(QStringLiteral("de")));
         },
         QStringLiteral("hello")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        view().setSelectedService(TranslationService::Google);
        view().setTargetLanguage(Language::find(QStringLiteral("tr")));
        // Nothing on screen, so the same answer again is a new translation.
        view().setInputText(QStringLiteral("-"));
        view().setInputText(QString());
        m_recorded.clear();
        typeAndSubmit(QStringLiteral("hello"));
        ASSERT_TRUE(waitUntil([this] { return view().isTranslating(); }));
        c.meanwhile();
        EXPECT_TRUE(view().isTranslating());
        ASSERT_TRUE(settled());
        EXPECT_EQ(view().inputText(), c.input);
        EXPECT_EQ(view().translatedText(), QStringLiteral("merhaba"));
        ASSERT_TRUE(view().translationResponse());
        EXPECT_EQ(view().translationResponse()->sourceText, QStringLiteral("hello"));
        EXPECT_EQ(view().shownTranslation().sourceText, QStringLiteral("hello"));
        ASSERT_EQ(m_recorded.size(), 1);
        EXPECT_EQ(m_recorded.first().sourceText, QStringLiteral("hello"));
        EXPECT_EQ(m_recorded.first().targetLanguage, QStringLiteral("tr"));
        EXPECT_EQ(m_recorded.first().service, TranslationService::Google);
    }
}

TEST_F(MenuBarViewTest, TheToastAndTheBannerFadeInAndOut) {
    view().show();
    struct Faded {
        const char* name;
        QWidget* widget;
        OpacityFade* fade;
        std::function<void()> appear;
        std::function<void()> go;
    };
    const QList<Faded> cases = {
        {"toast", view().toastView(), &view().toastView()->fade(),
         [] {
             ToastManager::shared().showToast(QStringLiteral("Copied"), QStringLiteral("doc.on.doc"),
                                              Qt::white, 60);
         },
         [] { ToastManager::shared().hideToast(); }},
        {"banner", view().inlineAlert(), &view().inlineAlert()->fade(),
         [] {
             post(Notifications::ShowInlineAlert, {{QStringLiteral("message"), QStringLiteral("Note")}});
         },
         [this] { view().inlineAlert()->dismiss(); }},
    };
    for (const Faded& c : cases) {
        c.appear();
        EXPECT_TRUE(c.widget->isVisibleTo(&view())) << c.name;
        EXPECT_TRUE(c.fade->isFading()) << c.name;
        EXPECT_LT(c.fade->opacity(), 1.0) << c.name;
        EXPECT_TRUE(waitUntil([&] { return !c.fade->isFading(); }, 2000)) << c.name;
        EXPECT_EQ(c.fade->opacity(), 1.0) << c.name;

        // Going, it stays on screen while it fades, then leaves; the animation stops with it.
        c.go();
        EXPECT_TRUE(c.fade->isFadingOut()) << c.name;
        EXPECT_TRUE(c.widget->isVisibleTo(&view())) << c.name;
        EXPECT_TRUE(waitUntil([&] { return c.widget->isHidden(); }, 2000)) << c.name;
        EXPECT_FALSE(c.fade->isFading()) << c.name;
        EXPECT_EQ(c.fade->opacity(), 0.0) << c.name;

        // Called back while it fades out, it returns from where it stood.
        c.appear();
        ASSERT_TRUE(waitUntil([&] { return !c.fade->isFading(); }, 2000)) << c.name;
        c.go();
        ASSERT_TRUE(waitUntil([&] { return c.fade->opacity() < 0.8; }, 2000)) << c.name;
        c.appear();
        EXPECT_FALSE(c.fade->isFadingOut()) << c.name;
        EXPECT_GT(c.fade->opacity(), 0.0) << c.name;
        EXPECT_TRUE(waitUntil([&] { return !c.fade->isFading(); }, 2000)) << c.name;
        EXPECT_TRUE(c.widget->isVisibleTo(&view())) << c.name;
        c.go();
        EXPECT_TRUE(waitUntil([&] { return c.widget->isHidden(); }, 2000)) << c.name;
    }
    EXPECT_FALSE(view().showAlert());
}

// The popover's background shows as an even band around the panel, as wide at the top and bottom as at
// the sides; a sheet fills the whole view.
TEST_F(MenuBarViewTest, ThePanelSitsInAnEvenBandAndASheetFillsTheView) {
    view().resize(view().sizeHint());
    view().show();
    QWidget* panel = view().header()->parentWidget();
    ASSERT_TRUE(waitUntil([&] { return view().height() == view().sizeHint().height(); }));
    const QRect frame = panel->geometry();
    const int band = (MenuBarView::viewWidth - frame.width()) / 2;
    EXPECT_EQ(frame.left(), band);
    EXPECT_EQ(view().width() - 1 - frame.right(), band);
    EXPECT_EQ(frame.top(), band);
    EXPECT_EQ(view().height() - 1 - frame.bottom(), band);

    // The popover follows the view's size as it changes.
    const auto fitted = [this](const std::function<bool()>& condition) {
        return waitUntil([&] {
            view().resize(view().sizeHint());
            return condition();
        });
    };
    post(Notifications::OpenHistoryWindow);
    ASSERT_NE(view().sheet(), nullptr);
    EXPECT_TRUE(fitted([&] { return view().sheet()->geometry() == view().rect(); }))
        << view().sheet()->geometry().height() << " in " << view().height();
    post(Notifications::CloseHistoryWindow);
    EXPECT_TRUE(fitted([&] { return panel->geometry().top() == band; }));
}

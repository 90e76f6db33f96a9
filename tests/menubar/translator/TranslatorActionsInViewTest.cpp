// The action bar, the alternatives and the examples inside the translator, against the dev API.
#include "DevApiTest.h"
#include "FakePlatform.h"
#include "TestUtils.h"
#include "menubar/translator/AlternativeTranslations.h"
#include "menubar/translator/ExampleSentences.h"
#include "menubar/translator/MenuBarView.h"
#include "menubar/translator/RewriteButton.h"
#include "menubar/translator/TextInputView.h"
#include "menubar/translator/TranslationChip.h"
#include "menubar/translator/TranslatorActionBar.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/UserDefaults.h"
#include "services/TextToSpeechService.h"
#include "services/TranslationSession.h"
#include "ui/SymbolButton.h"

#include <QPushButton>
#include <QTextEdit>
#include <gtest/gtest.h>
#include <memory>

namespace {

class TranslatorActionsInView : public DevApiTest {
protected:
    void SetUp() override {
        DevApiTest::SetUp();
        UserDefaults& defaults = UserDefaults::standard();
        defaults.set(QStringLiteral("defaultSourceLanguage"), QStringLiteral("en"));
        defaults.set(QStringLiteral("defaultTargetLanguage"), QStringLiteral("tr"));
        defaults.set(QStringLiteral("defaultTranslationService"), QStringLiteral("google"));
        MenuBarView::setHistoryRecorder(
            [this](const TranslationSession::Translation& record) { m_recorded.append(record); });
        m_view = std::make_unique<MenuBarView>();
        // Shown, so the editor has the focus when the view goes.
        m_view->show();
        ASSERT_TRUE(waitUntil([this] { return m_view->targetLanguage().code == QLatin1String("tr"); }));
    }
    void TearDown() override {
        m_view.reset();
        MenuBarView::resetHistoryRecorder();
    }

    void translate(const QString& text) {
        m_view->textInput()->editor()->setPlainText(text);
        m_view->textInput()->submit();
        ASSERT_TRUE(waitUntil([this] { return m_view->isTranslating(); }));
        ASSERT_TRUE(waitUntil([this] { return !m_view->isTranslating(); }, 10000));
    }
    bool actionBarShown() const { return m_view->actionBarSlot()->isVisibleTo(m_view.get()); }
    bool detailsShown() const { return m_view->detailsSlot()->isVisibleTo(m_view.get()); }
    TranslatorActionBar& bar() const { return *m_view->actionBar(); }

    std::unique_ptr<MenuBarView> m_view;
    QList<TranslationSession::Translation> m_recorded;
};

} // namespace

TEST_F(TranslatorActionsInView, BarAndDetailsFollowTheOutputAndTheProvider) {
    EXPECT_FALSE(actionBarShown());
    EXPECT_FALSE(detailsShown());

    translate(QStringLiteral("book"));
    EXPECT_EQ(m_view->translatedText(), QStringLiteral("kitap"));
    EXPECT_TRUE(actionBarShown());
    EXPECT_FALSE(bar().rewriteButton()->isVisibleTo(&bar()));
    ASSERT_TRUE(detailsShown());
    EXPECT_EQ(m_view->alternatives()->chips().size(), 3);
    EXPECT_TRUE(m_view->exampleSentences()->isVisibleTo(m_view.get()));
    EXPECT_EQ(m_view->exampleSentences()->exampleSentences()->size(), 2);
    EXPECT_EQ(m_view->exampleSentences()->sourceWord(), QStringLiteral("book"));

    // Other providers show no alternatives or examples, but may rewrite; Google shows the same ones again.
    TranslationChip* firstChip = m_view->alternatives()->chips().first();
    m_view->setSelectedService(TranslationService::ChatGPT);
    EXPECT_FALSE(detailsShown());
    EXPECT_TRUE(bar().rewriteButton()->isVisibleTo(&bar()));
    m_view->setSelectedService(TranslationService::Google);
    EXPECT_TRUE(detailsShown());
    EXPECT_EQ(m_view->alternatives()->chips().first(), firstChip);

    // While a translation runs the bar is hidden, and a phrase has no alternatives.
    m_view->textInput()->editor()->setPlainText(QStringLiteral("a whole sentence"));
    m_view->textInput()->submit();
    ASSERT_TRUE(waitUntil([this] { return m_view->isTranslating(); }));
    EXPECT_FALSE(actionBarShown());
    ASSERT_TRUE(waitUntil([this] { return !m_view->isTranslating(); }, 10000));
    EXPECT_TRUE(actionBarShown());
    EXPECT_FALSE(detailsShown());

    // Emptying the input takes the bar away with the output.
    m_view->textInput()->editor()->clear();
    EXPECT_FALSE(actionBarShown());
    EXPECT_FALSE(m_view->actionBar()->favoriteButton()->isVisibleTo(&bar()));
}

TEST_F(TranslatorActionsInView, ARewriteReplacesTheOutputWhichIsRecordedWithTheSameInput) {
    translate(QStringLiteral("hello"));
    ASSERT_EQ(m_view->translatedText(), QStringLiteral("merhaba"));
    const std::optional<TranslationResponse> response = m_view->translationResponse();
    // The rewrite is offered once another provider is chosen; its output is recorded with that one.
    m_view->setSelectedService(TranslationService::Gemini);

    bar().rewriteTranslation(RewriteStyle::Professional);
    EXPECT_TRUE(waitUntil(
        [this] { return m_view->translatedText() == QStringLiteral("[professional] merhaba"); }, 10000));
    EXPECT_EQ(m_view->inputText(), QStringLiteral("hello"));
    EXPECT_EQ(m_view->outputView()->text(), QStringLiteral("[professional] merhaba"));
    EXPECT_EQ(m_view->translationResponse(), response);
    ASSERT_EQ(m_recorded.size(), 2);
    EXPECT_EQ(m_recorded.last().sourceText, QStringLiteral("hello"));
    EXPECT_EQ(m_recorded.last().translatedText, QStringLiteral("[professional] merhaba"));
    EXPECT_EQ(m_recorded.last().service, TranslationService::Gemini);
    // The fade ends with the text fully shown and no effect left on it.
    EXPECT_TRUE(waitUntil([this] { return m_view->outputView()->textView()->graphicsEffect() == nullptr; }));

    // A failure shows its banner; the next rewrite clears it.
    s_api->failNext(QStringLiteral("500"));
    bar().rewriteTranslation(RewriteStyle::Concise);
    ASSERT_TRUE(waitUntil([this] { return m_view->showAlert(); }, 10000));
    EXPECT_EQ(m_view->alertMessage(),
              QStringLiteral("Rewrite failed: Server error: Simulated server failure"));
    EXPECT_EQ(m_view->alertType(), InlineAlert::AlertType::Error);
    EXPECT_EQ(m_view->translatedText(), QStringLiteral("[professional] merhaba"));
    bar().rewriteTranslation(RewriteStyle::Concise);
    EXPECT_FALSE(m_view->showAlert());
    EXPECT_TRUE(waitUntil(
        [this] { return m_view->translatedText() == QStringLiteral("[concise] [professional] merhaba"); },
        10000));
}

// A failed speech is said in the banner, whichever of the translator's listen buttons asked for it; one
// that another view's button asked for is not.
TEST_F(TranslatorActionsInView, AFailedSpeechOfTheTranslatorIsSaidInItsBanner) {
    translate(QStringLiteral("hello"));
    QPushButton elsewhere;
    QObject::connect(&elsewhere, &QPushButton::clicked, [&elsewhere] {
        TranslationSession::toggleSpeech(TTSSource::Input, QStringLiteral("hi"), QStringLiteral("en"), &elsewhere);
    });
    const struct {
        QAbstractButton* listen;
        bool serverFails;
        const char* banner;
    } rows[] = {
        {bar().listenButton(), false, "Speech failed: No audio output device"},
        {m_view->textInput()->listenButton(), true, "Speech failed: Server error: Simulated server failure"},
        {&elsewhere, false, nullptr},
    };
    fakePlatform().audioPlayerAvailable = false;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.banner ? row.banner : "elsewhere");
        m_view->setShowAlert(false);
        if (row.serverFails)
            s_api->failNext(QStringLiteral("500"));
        row.listen->click();
        ASSERT_TRUE(waitUntil([] { return !TextToSpeechService::shared().error().isEmpty(); }, 10000));
        EXPECT_EQ(m_view->showAlert() ? m_view->alertMessage() : QString(), QString::fromUtf8(row.banner));
    }
}

TEST_F(TranslatorActionsInView, ARewriteAnsweredAfterANewerOutputIsDropped) {
    struct Case {
        const char* name;
        std::function<void()> replaceOutput;
        QString expectedOutput;
    };
    const QList<Case> cases = {
        {"translated again", [this] { translate(QStringLiteral("world")); }, QStringLiteral("dünya")},
        {"loaded from the history",
         [] {
             NotificationCenter::shared().post(Notifications::LoadTranslation,
                                               {{"sourceText", QStringLiteral("cat")},
                                                {"translatedText", QStringLiteral("kedi")},
                                                {"sourceLanguageCode", QStringLiteral("en")},
                                                {"targetLanguageCode", QStringLiteral("tr")},
                                                {"serviceRawValue", QStringLiteral("chatgpt")}});
         },
         QStringLiteral("kedi")},
        {"swapped", [] { NotificationCenter::shared().post(Notifications::SwapTranslation); }, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UserDefaults::standard().set(QStringLiteral("defaultSourceLanguage"), QStringLiteral("en"));
        UserDefaults::standard().set(QStringLiteral("defaultTargetLanguage"), QStringLiteral("tr"));
        m_view->setSourceLanguage(Language::find(QStringLiteral("en")));
        m_view->setTargetLanguage(Language::find(QStringLiteral("tr")));
        m_view->setSelectedService(TranslationService::ChatGPT);
        ASSERT_TRUE(waitUntil([&] { return !m_view->isSwapOperation(); })); // past a swap's guard
        translate(QStringLiteral("hello"));
        ASSERT_EQ(m_view->translatedText(), QStringLiteral("merhaba"));

        s_api->failNext(QStringLiteral("slow"), 1, 600);
        // Longer than the stand-in takes to answer: a request still alive ends with its answer.
        constexpr int timeoutMs = 800;
        {
            WebTimeout limit(timeoutMs);
            bar().rewriteTranslation(RewriteStyle::Friendly);
        }
        ASSERT_TRUE(bar().isRewriting());
        c.replaceOutput();
        EXPECT_FALSE(bar().isRewriting());
        // Ended by now, and its rewrite, had it been kept, swapped in.
        runQueuedWork(timeoutMs);
        runQueuedWork(TranslatorActionBar::fadeMs);
        EXPECT_EQ(m_view->translatedText(), c.expectedOutput);
        EXPECT_FALSE(m_view->showAlert());
    }
}

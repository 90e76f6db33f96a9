#include "ui/TranslationPopoverView.h"

#include "DevApiServer.h"
#include "DevApiTest.h"
#include "FakePlatform.h"
#include "TestUtils.h"
#include "platform/UserDefaults.h"
#include "services/Language.h"
#include "services/TTSSource.h"
#include "services/TextToSpeechService.h"
#include "ui/GlobalToastManager.h"
#include "ui/GlobalToastPanel.h"
#include "ui/MenuPicker.h"
#include "ui/PopoverWindow.h"
#include "ui/SymbolButton.h"
#include "ui/TextButton.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QScreen>
#include <QScrollBar>
#include <QJsonObject>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextCursor>
#include <gtest/gtest.h>
#include <memory>

namespace {

class TranslationPopoverTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_api.start());
        m_api.useAsApiBase();
    }
    void TearDown() override {
        m_view.reset();
        TextToSpeechService::shared().stop();
        TextToSpeechService::shared().resetPlaybackState();
    }

    TranslationPopoverView& open(const QString& text, const QString& source, const QString& target,
                                 TranslationService service = TranslationService::Google,
                                 QPoint at = QPoint(300, 400)) {
        m_view = std::make_unique<TranslationPopoverView>(text, source, target, service,
                                                          QStringLiteral("floating_bar"), 320);
        m_view->move(at);
        m_view->show();
        return *m_view;
    }

    bool settled() {
        return waitUntil([this] { return !m_view->isLoading(); }, 10000);
    }

    QJsonObject lastBody() const { return m_api.lastRequest().value("body").toObject(); }
    int requests() const { return int(m_api.requestLog().size()); }

    DevApiServer m_api;
    std::unique_ptr<TranslationPopoverView> m_view;
};

} // namespace

TEST_F(TranslationPopoverTest, TranslatesWhenShownAndShowsTheAnswerInTheEditor) {
    TranslationPopoverView& view = open(QStringLiteral("hello"), QStringLiteral("en"), QStringLiteral("tr"));
    EXPECT_TRUE(view.isLoading());
    EXPECT_NE(view.resultArea(), static_cast<QWidget*>(view.editor()));
    EXPECT_FALSE(view.translationListenButton()->isVisible());
    ASSERT_TRUE(settled());

    EXPECT_EQ(view.translatedText(), QStringLiteral("merhaba"));
    EXPECT_FALSE(view.error());
    EXPECT_EQ(view.resultArea(), static_cast<QWidget*>(view.editor()));
    EXPECT_EQ(view.editor()->toPlainText(), QStringLiteral("merhaba"));
    EXPECT_TRUE(view.translationListenButton()->isVisible());
    EXPECT_EQ(view.popoverHeight(), 320);

    const QJsonObject request = m_api.lastRequest();
    EXPECT_EQ(request.value("path").toString(), QStringLiteral("/api/translate/google"));
    EXPECT_TRUE(request.value("signatureValid").toBool());
    const QJsonObject body = lastBody();
    EXPECT_EQ(body.value("text").toString(), QStringLiteral("hello"));
    EXPECT_EQ(body.value("source_language").toString(), QStringLiteral("en"));
    EXPECT_EQ(body.value("target_language").toString(), QStringLiteral("tr"));
    EXPECT_EQ(body.value("trigger_source").toString(), QStringLiteral("floating_bar"));
    EXPECT_EQ(body.value("process_type").toString(), QStringLiteral("translate"));

    // The editor takes the focus a moment after the answer, and gives it up during the next request.
    EXPECT_TRUE(waitUntil([&] { return view.isTextEditorFocused(); }, 10000));
    view.chooseTargetLanguage(QStringLiteral("de"));
    EXPECT_FALSE(view.isTextEditorFocused());
    EXPECT_TRUE(view.isLoading());
}

// The popover grows with the translation, as tall as the estimate of 65 characters a line or as the text
// laid out, whichever is more; the editor scrolls only a text longer than it is at its tallest.
TEST_F(TranslationPopoverTest, LongTranslationsGrowThePopover) {
    for (const int words : {2, 15, 32, 40, 55, 1200}) {
        SCOPED_TRACE(words);
        const QString text = QStringLiteral("lorem ipsum dolor sit amet ").repeated(words / 5 + 1);
        TranslationPopoverView& view =
            open(text.section(u' ', 0, words - 1), QStringLiteral("en"), QStringLiteral("fr"));
        ASSERT_TRUE(settled());
        QCoreApplication::processEvents();
        // The stand-in answers "[fr] " + text.
        const QString translation = view.translatedText();
        QPlainTextEdit* editor = view.editor();
        const int height = editor->height();
        EXPECT_GE(height, std::clamp(TranslationPopoverView::estimatedTextHeight(translation), 80.0, 200.0));
        EXPECT_EQ(view.popoverHeight(), translation.size() <= 19 ? 320 : std::min(height, 180) + 240);
        EXPECT_EQ(editor->verticalScrollBar()->isVisible(), words == 1200);
        // Short of that, the last line shows whole, with less than a line of room left below it.
        QTextCursor end(editor->document());
        end.movePosition(QTextCursor::End);
        const QRect last = editor->cursorRect(end);
        EXPECT_TRUE(words == 1200 || last.bottom() < editor->viewport()->height());
        EXPECT_TRUE(height <= 80 || height >= 200 || last.bottom() + last.height() >= editor->viewport()->height());
    }
}

TEST(TranslationPopoverSizing, EstimatedHeightAndPopoverHeight) {
    EXPECT_EQ(TranslationPopoverView::estimatedTextHeight(QString()), 80);
    EXPECT_EQ(TranslationPopoverView::estimatedTextHeight(QString(20, u'a')), 22);
    EXPECT_EQ(TranslationPopoverView::estimatedTextHeight(QString(200, u'a')), 88);
    EXPECT_EQ(TranslationPopoverView::estimatedTextHeight(QString(200, u'a') + QString(5, u'\n')), 198);
    // A CR LF pair is one character and no line break.
    EXPECT_EQ(TranslationPopoverView::characterCount(QStringLiteral("a\r\nb")), 3);
    EXPECT_EQ(TranslationPopoverView::lineBreakCount(QStringLiteral("a\r\nb\nc")), 1);
    EXPECT_EQ(TranslationPopoverView::estimatedTextHeight(QString(65, u'a') + QStringLiteral("\r\n")), 44);
}

TEST_F(TranslationPopoverTest, FailuresShowTheErrorAndKeepThePreviousTranslation) {
    TranslationPopoverView& view = open(QStringLiteral("book"), QStringLiteral("en"), QStringLiteral("de"));
    ASSERT_TRUE(settled());
    ASSERT_EQ(view.translatedText(), QStringLiteral("Buch"));

    ASSERT_TRUE(m_api.failNext(QStringLiteral("500")));
    view.chooseService(TranslationService::ChatGPT);
    ASSERT_TRUE(settled());
    EXPECT_EQ(view.error(), QStringLiteral("Çeviri hatası: Server error: Simulated server failure"));
    EXPECT_EQ(view.resultArea(), static_cast<QWidget*>(view.errorLabel()));
    EXPECT_EQ(view.errorLabel()->text(), *view.error());
    EXPECT_EQ(view.translatedText(), QStringLiteral("Buch"));
    // The old translation is still there to copy and to swap.
    EXPECT_TRUE(view.translationCopyButton()->isEnabled());
    EXPECT_TRUE(view.canSwapLanguages());
    EXPECT_TRUE(view.swapButton()->isEnabled());

    // A new request clears the error.
    view.chooseService(TranslationService::Google);
    EXPECT_FALSE(view.error());
    ASSERT_TRUE(settled());
    EXPECT_FALSE(view.error());
}

TEST_F(TranslationPopoverTest, ProviderAndLanguageChoicesTranslateAgain) {
    TranslationPopoverView& view = open(QStringLiteral("water"), QStringLiteral("en"), QStringLiteral("tr"));
    ASSERT_TRUE(settled());
    ASSERT_EQ(requests(), 1);

    view.chooseService(TranslationService::DeepL);
    ASSERT_TRUE(settled());
    EXPECT_EQ(m_api.lastRequest().value("path").toString(), QStringLiteral("/api/translate/deepl"));
    EXPECT_EQ(view.servicePicker()->value(), QStringLiteral("deepl"));

    view.chooseTargetLanguage(QStringLiteral("de"));
    ASSERT_TRUE(settled());
    EXPECT_EQ(view.translatedText(), QStringLiteral("Wasser"));
    EXPECT_EQ(lastBody().value("target_language").toString(), QStringLiteral("de"));

    // Choosing what is already chosen asks for nothing.
    view.chooseTargetLanguage(QStringLiteral("de"));
    EXPECT_FALSE(view.isLoading());
    EXPECT_EQ(requests(), 3);
}

TEST_F(TranslationPopoverTest, OnlyTheNewestRequestIsShownAndEndsTheSpinner) {
    TranslationPopoverView& view = open(QStringLiteral("cat"), QStringLiteral("en"), QStringLiteral("tr"));
    ASSERT_TRUE(settled());

    // The first of two overlapping requests is slow; the second answers first. The first times out after
    // longer than the stand-in takes to answer, so it ends with its answer.
    constexpr int timeoutMs = 900;
    ASSERT_TRUE(m_api.failNext(QStringLiteral("slow"), 1, 700));
    const int before = requests();
    {
        WebTimeout limit(timeoutMs);
        view.chooseTargetLanguage(QStringLiteral("de"));
    }
    // The slow answer is the first request's.
    ASSERT_TRUE(waitUntil([&] { return requests() > before; }));
    view.chooseTargetLanguage(QStringLiteral("fr"));
    ASSERT_TRUE(settled());
    EXPECT_EQ(view.translatedText(), QStringLiteral("[fr] cat"));

    // Whatever happens to the slow answer later, it never replaces the newest one: it has come by now.
    runQueuedWork(timeoutMs);
    EXPECT_EQ(view.translatedText(), QStringLiteral("[fr] cat"));
    EXPECT_FALSE(view.isLoading());

    // And while the newest is outstanding, an older answer does not end the loading state: the first
    // request below fails soon, by its time-out at the latest, the second takes 3 s (far longer than the
    // pause below, on a loaded machine too).
    constexpr int failedWithinMs = 300;
    UserDefaults::standard().set(QStringLiteral("apiBaseURL"), QStringLiteral("http://example.invalid"));
    {
        WebTimeout limit(failedWithinMs);
        view.chooseTargetLanguage(QStringLiteral("de"));
    }
    m_api.useAsApiBase();
    ASSERT_TRUE(m_api.failNext(QStringLiteral("slow"), 1, 3000));
    view.chooseService(TranslationService::Gemini);
    runQueuedWork(failedWithinMs);
    EXPECT_TRUE(view.isLoading());
    EXPECT_FALSE(view.error());
    ASSERT_TRUE(settled());
    EXPECT_FALSE(view.error());
    EXPECT_EQ(view.translatedText(), QStringLiteral("Katze"));
    EXPECT_EQ(m_api.lastRequest().value("path").toString(), QStringLiteral("/api/translate/gemini"));
}

TEST_F(TranslationPopoverTest, SwapTranslatesTheTranslationBackWithOneRequest) {
    TranslationPopoverView& view = open(QStringLiteral("house"), QStringLiteral("en"), QStringLiteral("tr"));
    ASSERT_TRUE(settled());
    const int before = requests();
    ASSERT_TRUE(view.canSwapLanguages());

    QTest::mouseClick(view.swapButton(), Qt::LeftButton);
    EXPECT_EQ(view.selectedSourceLang(), QStringLiteral("tr"));
    EXPECT_EQ(view.selectedTargetLang(), QStringLiteral("en"));
    EXPECT_EQ(view.sourcePicker()->value(), QStringLiteral("tr"));
    EXPECT_EQ(view.targetPicker()->value(), QStringLiteral("en"));
    EXPECT_EQ(view.currentSourceText(), QStringLiteral("ev"));
    EXPECT_TRUE(view.translatedText().isEmpty());
    ASSERT_TRUE(settled());
    runQueuedWork();
    EXPECT_FALSE(view.isLoading());
    EXPECT_EQ(requests(), before + 1);
    EXPECT_EQ(lastBody().value("text").toString(), QStringLiteral("ev"));
    EXPECT_EQ(lastBody().value("source_language").toString(), QStringLiteral("tr"));
    EXPECT_EQ(view.translatedText(), QStringLiteral("house"));
}

TEST_F(TranslationPopoverTest, SwapIsOfferedOnlyWithATranslation) {
    ASSERT_TRUE(m_api.failNext(QStringLiteral("slow"), 1, 500));
    TranslationPopoverView& view = open(QStringLiteral("read"), QStringLiteral("en"), QStringLiteral("tr"));
    // Still loading the first translation: nothing to swap.
    EXPECT_FALSE(view.swapButton()->isEnabled());
    view.swapLanguages();
    EXPECT_EQ(view.currentSourceText(), QStringLiteral("read"));
    EXPECT_EQ(view.selectedSourceLang(), QStringLiteral("en"));
    ASSERT_TRUE(settled());
    EXPECT_TRUE(view.swapButton()->isEnabled());

    // An empty translation: nothing to swap either.
    ASSERT_TRUE(m_api.failNext(QStringLiteral("empty-translation")));
    view.chooseTargetLanguage(QStringLiteral("de"));
    ASSERT_TRUE(settled());
    ASSERT_TRUE(view.translatedText().isEmpty());
    EXPECT_FALSE(view.swapButton()->isEnabled());
    const int before = requests();
    view.swapLanguages();
    runQueuedWork();
    EXPECT_FALSE(view.isLoading());
    EXPECT_EQ(requests(), before);
    EXPECT_EQ(view.currentSourceText(), QStringLiteral("read"));
}

// A translation still on screen while another language loads, or after that failed, can be swapped: it
// goes back from the language it was made into, and the request still running is dropped.
TEST_F(TranslationPopoverTest, SwapWhileAnotherTranslationLoadsOrAfterItFailed) {
    for (const char* failure : {"slow", "500"}) {
        SCOPED_TRACE(failure);
        TranslationPopoverView& view = open(QStringLiteral("house"), QStringLiteral("en"), QStringLiteral("tr"));
        ASSERT_TRUE(settled());
        ASSERT_EQ(view.translatedText(), QStringLiteral("ev"));
        ASSERT_TRUE(m_api.failNext(QString::fromLatin1(failure), 1, 3000));
        view.chooseTargetLanguage(QStringLiteral("de"));
        if (QByteArray(failure) == "500") {
            ASSERT_TRUE(settled());
        }
        ASSERT_TRUE(view.swapButton()->isEnabled());
        QTest::mouseClick(view.swapButton(), Qt::LeftButton);
        EXPECT_EQ(view.currentSourceText(), QStringLiteral("ev"));
        EXPECT_EQ(view.selectedSourceLang(), QStringLiteral("tr"));
        EXPECT_EQ(view.selectedTargetLang(), QStringLiteral("en"));
        ASSERT_TRUE(settled());
        EXPECT_FALSE(view.error());
        EXPECT_EQ(lastBody().value("text").toString(), QStringLiteral("ev"));
        EXPECT_EQ(lastBody().value("source_language").toString(), QStringLiteral("tr"));
        EXPECT_EQ(view.translatedText(), QStringLiteral("house"));
    }
}

TEST_F(TranslationPopoverTest, SwapFromAutomaticUsesTheDetectedLanguageOrIsNotOffered) {
    fakePlatform().fakeLanguageRecognizer().answers.insert(QStringLiteral("thank you"), QStringLiteral("en"));
    TranslationPopoverView& view =
        open(QStringLiteral("thank you"), QStringLiteral("auto"), QStringLiteral("tr"));
    ASSERT_TRUE(settled());
    ASSERT_TRUE(view.canSwapLanguages());
    view.swapLanguages();
    EXPECT_EQ(view.selectedSourceLang(), QStringLiteral("tr"));
    EXPECT_EQ(view.selectedTargetLang(), QStringLiteral("en"));
    ASSERT_TRUE(settled());
    EXPECT_EQ(lastBody().value("target_language").toString(), QStringLiteral("en"));
    EXPECT_EQ(view.translatedText(), QStringLiteral("thank you"));

    // Text the recogniser cannot place: no swap into "auto".
    TranslationPopoverView& unknown =
        open(QStringLiteral("xq zv"), QStringLiteral("auto"), QStringLiteral("tr"));
    ASSERT_TRUE(settled());
    EXPECT_FALSE(unknown.canSwapLanguages());
    EXPECT_FALSE(unknown.swapButton()->isEnabled());
    unknown.swapLanguages();
    EXPECT_EQ(unknown.selectedTargetLang(), QStringLiteral("tr"));
}

TEST_F(TranslationPopoverTest, PickersSetFromCodeAskForNothing) {
    TranslationPopoverView& view = open(QStringLiteral("book"), QStringLiteral("en"), QStringLiteral("tr"));
    ASSERT_TRUE(settled());
    const int before = requests();
    view.sourcePicker()->setValue(QStringLiteral("de"));
    view.targetPicker()->setValue(QStringLiteral("fr"));
    view.servicePicker()->setValue(QStringLiteral("gemini"));
    runQueuedWork();
    EXPECT_EQ(requests(), before);
    EXPECT_FALSE(view.isLoading());

    // A user's choice in the list does ask.
    const int index = view.targetPicker()->findData(QStringLiteral("de"));
    ASSERT_GE(index, 0);
    view.targetPicker()->setCurrentIndex(index);
    Q_EMIT view.targetPicker()->activated(index);
    EXPECT_TRUE(view.isLoading());
    ASSERT_TRUE(settled());
    EXPECT_EQ(requests(), before + 1);
}

TEST(MenuPicker, AValueWithoutARowSelectsNoneUntilARowIsChosen) {
    MenuPicker picker(
        {{QStringLiteral("English"), QStringLiteral("en")}, {QStringLiteral("German"), QStringLiteral("de")}},
        120);
    QStringList chosen;
    QObject::connect(&picker, &MenuPicker::valueChosen, [&](const QString& v) { chosen << v; });
    picker.setValue(QStringLiteral("xx"));
    EXPECT_EQ(picker.currentIndex(), -1);
    EXPECT_TRUE(picker.currentText().isEmpty());
    EXPECT_EQ(picker.count(), 2);
    const auto choose = [&picker](const QString& value) {
        const int index = picker.findData(value);
        picker.setCurrentIndex(index);
        Q_EMIT picker.activated(index);
    };
    choose(QStringLiteral("de"));
    EXPECT_EQ(chosen, QStringList{QStringLiteral("de")});
    EXPECT_EQ(picker.count(), 2);
    EXPECT_EQ(picker.value(), QStringLiteral("de"));
    // The same row again is no change.
    choose(QStringLiteral("de"));
    EXPECT_EQ(chosen.size(), 1);

    // The wheel over a closed picker changes nothing.
    picker.show();
    for (const int delta : {120, -120, -120}) {
        QWheelEvent wheel(QPointF(10, 10), picker.mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&picker, &wheel);
    }
    EXPECT_EQ(picker.value(), QStringLiteral("de"));
    EXPECT_EQ(chosen.size(), 1);
}

TEST_F(TranslationPopoverTest, CopyPutsPlainTextOnTheClipboard) {
    TranslationPopoverView& view = open(QStringLiteral("world"), QStringLiteral("en"), QStringLiteral("tr"));
    EXPECT_FALSE(view.translationCopyButton()->isEnabled());
    ASSERT_TRUE(settled());
    fakePlatform().fakePasteboard().setExternalString(QStringLiteral("old"));
    QTest::mouseClick(view.translationCopyButton(), Qt::LeftButton);
    EXPECT_EQ(fakePlatform().fakePasteboard().currentString(), QStringLiteral("dünya"));
    const PasteboardSnapshot contents = fakePlatform().fakePasteboard().contents();
    ASSERT_EQ(contents.items.size(), 1);
    EXPECT_EQ(contents.items.first().first, QStringLiteral("text/plain"));
    QTest::mouseClick(view.sourceCopyButton(), Qt::LeftButton);
    EXPECT_EQ(fakePlatform().fakePasteboard().currentString(), QStringLiteral("world"));
}

TEST_F(TranslationPopoverTest, ListenSpeaksAndStopsEachSide) {
    TranslationPopoverView& view =
        open(QStringLiteral("good morning"), QStringLiteral("en"), QStringLiteral("tr"));
    ASSERT_TRUE(settled());
    TextToSpeechService& tts = TextToSpeechService::shared();

    QTest::mouseClick(view.translationListenButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return tts.isPlaying(TTSSource::Output); }, 10000));
    EXPECT_EQ(m_api.lastRequest().value("path").toString(), QStringLiteral("/api/tts"));
    EXPECT_EQ(lastBody().value("text").toString(), QStringLiteral("günaydın"));
    EXPECT_EQ(lastBody().value("language").toString(), QStringLiteral("tr"));
    EXPECT_EQ(view.translationListenButton()->symbol(), QStringLiteral("stop.fill"));
    EXPECT_EQ(view.translationListenButton()->toolTip(), QStringLiteral("Stop speaking"));
    EXPECT_EQ(view.sourceListenButton()->symbol(), QStringLiteral("speaker.wave.2.fill"));
    ASSERT_FALSE(fakePlatform().audioPlayers.isEmpty());
    QPointer<FakeAudioPlayer> player = fakePlatform().audioPlayers.last();

    QTest::mouseClick(view.translationListenButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !tts.isPlaying(); }, 10000));
    EXPECT_TRUE(!player || player->stopCount >= 1);
    EXPECT_EQ(view.translationListenButton()->symbol(), QStringLiteral("speaker.wave.2.fill"));
    EXPECT_EQ(view.translationListenButton()->toolTip(), QStringLiteral("Listen to translation"));

    // The source side speaks the source text in the source language.
    QTest::mouseClick(view.sourceListenButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return tts.isPlaying(TTSSource::Input); }, 10000));
    EXPECT_EQ(lastBody().value("text").toString(), QStringLiteral("good morning"));
    EXPECT_EQ(lastBody().value("language").toString(), QStringLiteral("en"));
    EXPECT_EQ(view.sourceListenButton()->toolTip(), QStringLiteral("Stop speaking"));

    // Without a sound device it says so in a toast; the translation stays on screen.
    tts.stop();
    fakePlatform().audioPlayerAvailable = false;
    QTest::mouseClick(view.translationListenButton(), Qt::LeftButton);
    EXPECT_TRUE(waitUntil([] {
        const GlobalToastPanel* toast = GlobalToastManager::shared().panel();
        return toast && toast->message() == QLatin1String("Speech failed: No audio output device");
    }, 10000));
    EXPECT_EQ(view.resultArea(), view.editor());
}

TEST_F(TranslationPopoverTest, ShowAllOpensOnRestingThePointerAndClosesAfterLeaving) {
    TranslationPopoverView& view = open(QStringLiteral("hello"), QStringLiteral("en"), QStringLiteral("tr"));
    ASSERT_TRUE(settled());
    // Even a one-word text offers "Show all".
    EXPECT_TRUE(view.showAllButton()->isVisible());

    // A rest shorter than the delay: the loop does not turn meanwhile, so however slow the machine the
    // pointer leaves before the delay's check runs; then that check has run.
    view.handleShowAllHover(true);
    QTest::qSleep(100);
    view.handleShowAllHover(false);
    runQueuedWork(TranslationPopoverView::showAllHoverDelayMs);
    EXPECT_FALSE(view.isShowingFullSourceText());

    view.handleShowAllHover(true);
    ASSERT_TRUE(waitUntil([&] { return view.isShowingFullSourceText(); }, 10000));
    ASSERT_TRUE(view.fullTextPopover() && view.fullTextPopover()->isShown());
    EXPECT_EQ(view.fullTextPopover()->contentSize(), QSize(400, 200));

    // Leaving closes it a second later (a coarse timer may fire 5 % early) even when the pointer comes
    // back.
    QElapsedTimer left;
    left.start();
    view.handleFullTextHover(false);
    view.handleFullTextHover(true);
    ASSERT_TRUE(waitUntil([&] { return !view.isShowingFullSourceText(); }, 10000));
    EXPECT_GE(left.elapsed(), TranslationPopoverView::fullTextLeaveDelayMs * 95 / 100);
    EXPECT_FALSE(view.fullTextPopover()->isShown());

    // A click toggles it.
    QTest::mouseClick(view.showAllButton(), Qt::LeftButton);
    EXPECT_TRUE(view.fullTextPopover()->isShown());
    QTest::mouseClick(view.showAllButton(), Qt::LeftButton);
    EXPECT_FALSE(view.fullTextPopover()->isShown());
    EXPECT_FALSE(view.isShowingFullSourceText());

    // It goes with the popover that shows the view.
    QTest::mouseClick(view.showAllButton(), Qt::LeftButton);
    ASSERT_TRUE(view.fullTextPopover()->isShown());
    view.hide();
    EXPECT_FALSE(view.fullTextPopover()->isShown());
    EXPECT_FALSE(view.isShowingFullSourceText());

    // A rest on "Show all" cut short by the popover closing opens nothing afterwards.
    view.show();
    ASSERT_TRUE(settled());
    view.handleShowAllHover(true);
    view.hide();
    runQueuedWork(TranslationPopoverView::showAllHoverDelayMs);
    EXPECT_FALSE(view.isShowingFullSourceText());
    EXPECT_FALSE(view.fullTextPopover()->isShown());
}

TEST(MenuPicker, ListsAreAFewRowsHighAndAsWideAsTheLongestName) {
    QList<MenuPicker::Row> rows;
    for (const Language& language : Language::allLanguages())
        rows.append({language.name, language.code});
    QWidget window;
    auto* picker = new MenuPicker(rows, 120, &window);
    picker->move(20, 20);
    window.resize(400, 100);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    // Names are narrowed before they are cut short.
    QStringList cut;
    for (const Language& language : Language::allLanguages()) {
        bool fits = false;
        picker->fontFitting(language.name, &fits);
        if (!fits)
            cut << language.name;
    }
    EXPECT_TRUE(cut.isEmpty()) << cut.join(QStringLiteral(", ")).toStdString();

    picker->setValue(QStringLiteral("zh-cn"));
    picker->showPopup();
    QAbstractItemView* list = picker->view();
    ASSERT_TRUE(waitUntil([&] { return list->isVisible(); }));
    const int rowHeight = list->sizeHintForRow(0);
    EXPECT_LE(list->viewport()->height(), MenuPicker::visibleRows * rowHeight);
    EXPECT_GE(list->viewport()->height(), (MenuPicker::visibleRows - 1) * rowHeight);
    EXPECT_GT(list->verticalScrollBar()->maximum(), 0) << "the rest scrolls";
    EXPECT_GE(list->viewport()->width(), list->sizeHintForColumn(0));
    EXPECT_TRUE(list->visualRect(list->currentIndex()).intersects(list->viewport()->rect()))
        << "the chosen row is in sight";
    picker->hidePopup();
}

// "Show all" opens its full text above the button, arrow on its bottom edge, over the pickers; below the
// button only where there is no room above.
TEST_F(TranslationPopoverTest, FullTextOpensAboveShowAllUnlessThereIsNoRoom) {
    using Edge = PopoverWindow::Edge;
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    struct Case {
        const char* name;
        int top;
        Edge expected;
    } cases[] = {
        {"room above", 400, Edge::Top},
        {"at the screen's top", 0, Edge::Bottom},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TranslationPopoverView& view = open(QStringLiteral("hello"), QStringLiteral("en"), QStringLiteral("tr"),
                                            TranslationService::Google, QPoint(300, screen.top() + c.top));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        ASSERT_TRUE(settled());
        QTest::mouseClick(view.showAllButton(), Qt::LeftButton);
        ASSERT_TRUE(view.fullTextPopover() && view.fullTextPopover()->isShown());
        const QRect button(view.showAllButton()->mapToGlobal(QPoint(0, 0)), view.showAllButton()->size());
        const QRect frame = view.fullTextPopover()->geometry();
        EXPECT_EQ(view.fullTextPopover()->placement().edge, c.expected);
        if (c.expected == Edge::Top) {
            EXPECT_LE(frame.bottom(), button.top());
        } else {
            EXPECT_GE(frame.top(), button.bottom());
        }
        EXPECT_TRUE(screen.contains(frame));
    }
}

// The translation can be selected and copied, but it is no text being edited: no caret shows.
TEST_F(TranslationPopoverTest, TheReadOnlyTranslationShowsNoCaretButCanBeSelected) {
    TranslationPopoverView& view = open(QStringLiteral("hello"), QStringLiteral("en"), QStringLiteral("tr"));
    ASSERT_TRUE(settled());
    QPlainTextEdit* editor = view.editor();
    ASSERT_TRUE(waitUntil([&] { return view.isTextEditorFocused(); }));
    QFocusEvent out(QEvent::FocusOut, Qt::OtherFocusReason);
    QApplication::sendEvent(editor->viewport(), &out);
    QApplication::sendEvent(editor, &out);
    const QImage unfocused = editor->viewport()->grab().toImage();
    QFocusEvent in(QEvent::FocusIn, Qt::OtherFocusReason);
    QApplication::sendEvent(editor, &in);
    EXPECT_TRUE(editor->viewport()->grab().toImage() == unfocused) << "something was drawn for the focus";

    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(editor->textCursor().selectedText(), QStringLiteral("merhaba"));
    QTest::keyClick(editor, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("merhaba"));
    // A double click selects a word as before.
    editor->moveCursor(QTextCursor::Start);
    QTest::mouseDClick(editor->viewport(), Qt::LeftButton, Qt::NoModifier, editor->cursorRect().center());
    EXPECT_EQ(editor->textCursor().selectedText(), QStringLiteral("merhaba"));
}

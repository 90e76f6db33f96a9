#include "floatingbar/FloatingBarWindowController.h"

#include "DevApiServer.h"
#include "FakePlatform.h"
#include "TestUtils.h"
#include "floatingbar/FloatingBarManager.h"
#include "floatingbar/FloatingBarView.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/UserDefaults.h"
#include "selection/ExcludedAppsManager.h"
#include "ui/HoverButton.h"
#include "ui/MenuPicker.h"
#include "ui/PopoverWindow.h"
#include "ui/SymbolButton.h"
#include "ui/TranslationPopoverView.h"

#include <QElapsedTimer>
#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr QPoint pointer(600, 400);

class FloatingBarControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Requests fail at once instead of leaving the machine.
        UserDefaults::standard().set(QStringLiteral("apiBaseURL"), QStringLiteral("http://example.invalid"));
    }

    FloatingBarWindowController& makeBar(const QString& text = QStringLiteral("Merhaba dünya"),
                                         const QString& language = QStringLiteral("tr")) {
        m_controller = std::make_unique<FloatingBarWindowController>(text, language, false);
        return *m_controller;
    }

    FakeGlobalMouseMonitor* monitor() const {
        return fakePlatform().mouseMonitors.isEmpty() ? nullptr : fakePlatform().mouseMonitors.last().data();
    }

    static void hover(QWidget* widget, bool inside) {
        if (inside) {
            QEnterEvent enter(QPointF(20, 20), QPointF(20, 20), QPointF(20, 20));
            QApplication::sendEvent(widget, &enter);
        } else {
            QEvent leave(QEvent::Leave);
            QApplication::sendEvent(widget, &leave);
        }
    }

    std::unique_ptr<FloatingBarWindowController> m_controller;
};

} // namespace

TEST(FloatingBarGeometry, PopoverHeightFollowsTheSelectedText) {
    EXPECT_EQ(FloatingBarWindowController::popoverHeight(QString(40, u'a')), 320);
    EXPECT_EQ(FloatingBarWindowController::popoverHeight(QString(400, u'a')), 372);
    EXPECT_EQ(FloatingBarWindowController::popoverHeight(QString(64, u'a')), 320);
    EXPECT_EQ(FloatingBarWindowController::popoverHeight(QString(130, u'a')), 320);
    EXPECT_EQ(FloatingBarWindowController::popoverHeight(QStringLiteral("a\n").repeated(10)), 420);
    // Characters as the user sees them: an accented letter made of two code points is one.
    EXPECT_EQ(FloatingBarWindowController::popoverHeight(QStringLiteral("e\u0301").repeated(130)), 320);
    EXPECT_EQ(FloatingBarWindowController::popoverHeight(QStringLiteral("e\u0301").repeated(400)), 372);
}

TEST(FloatingBarGeometry, BarSitsAboveAndRightOfThePointerAndStaysOnItsScreen) {
    const QRect screen(0, 0, 1600, 1000);
    EXPECT_EQ(FloatingBarWindowController::barFrame(pointer, screen), QRect(600, 340, 110, 60));
    const QRect second(1600, 0, 1280, 800);
    EXPECT_EQ(FloatingBarWindowController::barFrame(QPoint(1601, 799), second), QRect(1601, 739, 110, 60));
    EXPECT_EQ(FloatingBarWindowController::barFrame(QPoint(2875, 30), second).right(), second.right());
}

// At every edge and corner the bar, its options menu and the popover stay whole on the pointer's screen,
// the bar and the popover off each other and off the pointer and the line under it, the menu off the
// selected line.
TEST(FloatingBarGeometry, BarAndPopoverNeverCoverEachOtherOrThePointerNearTheEdges) {
    const QRect screen(1600, 0, 1280, 800);
    // The pointer and the line under it: 24 below the pointer.
    const int clearance = 24;
    FloatingBarView view(QStringLiteral("en"), QStringLiteral("word"), {}, false, false, false);
    view.setShowingOptions(true);
    ASSERT_NE(view.optionsMenu(), nullptr);
    const QSize menuSize = view.optionsMenu()->contentSize();
    view.setShowingOptions(false);
    const QRect optionsButton = view.optionsButton()->geometry();
    for (const int x : {1600, 1610, 2240, 2870, 2879}) {
        for (const int y : {0, 10, 59, 60, 400, 700, 790, 799}) {
            const QPoint pointer(x, y);
            SCOPED_TRACE(QStringLiteral("pointer %1,%2").arg(x).arg(y).toStdString());
            const QRect bar = FloatingBarWindowController::barFrame(pointer, screen);
            const QRect underPointer(pointer.x(), pointer.y(), 1, clearance);
            EXPECT_TRUE(screen.contains(bar));
            EXPECT_FALSE(bar.intersects(underPointer));
            const QRect line = FloatingBarWindowController::selectionLine(pointer, screen);
            const FloatingBarView::MenuPlacement menuAt = FloatingBarView::optionsMenuPlacement(
                optionsButton.translated(bar.topLeft()), menuSize, line, screen);
            const QRect menu = PopoverWindow::place(menuSize, menuAt.anchor, screen, menuAt.edge, true).frame;
            EXPECT_TRUE(screen.contains(menu));
            EXPECT_FALSE(menu.intersects(line));
            const QRect anchor = FloatingBarWindowController::popoverAnchor(bar, pointer);
            const PopoverWindow::Edge edge = FloatingBarWindowController::popoverEdge(anchor, screen);
            for (const int height : {320, 420}) {
                const QRect popover =
                    PopoverWindow::place(QSize(450, height), anchor, screen, edge, true)
                        .frame;
                EXPECT_TRUE(screen.contains(popover));
                EXPECT_FALSE(popover.intersects(bar));
                EXPECT_FALSE(popover.intersects(underPointer));
            }
        }
    }
}

TEST_F(FloatingBarControllerTest, HidesItselfTwoSecondsAfterShowing) {
    FloatingBarWindowController& bar = makeBar();
    // Started before the bar's timer: a coarse timer may fire 5 % early, and both clocks count whole
    // milliseconds, so 1899 is as good as 1900 here.
    QElapsedTimer clock;
    clock.start();
    bar.showWindow(QRect(pointer, QSize(1, 1)));
    ASSERT_TRUE(bar.window()->isVisible());
    EXPECT_EQ(bar.window()->geometry(), QRect(600, 340, 110, 60));
    ASSERT_TRUE(waitUntil([&] { return !bar.window()->isVisible(); }, 10000));
    EXPECT_GE(clock.elapsed(), 1890);
    // Not much later, even on a loaded machine.
    EXPECT_LE(clock.elapsed(), 5000);
}

TEST_F(FloatingBarControllerTest, HoverAndTheOptionsMenuHoldTheBar) {
    FloatingBarWindowController& bar = makeBar();
    bar.showWindow(QRect(pointer, QSize(1, 1)));
    ASSERT_TRUE(bar.isHideTimerActive());

    hover(bar.barView(), true);
    EXPECT_FALSE(bar.isHideTimerActive());
    bar.barView()->setShowingOptions(true);
    // Above the bar, off the selected word beside the pointer.
    const QRect line =
        FloatingBarWindowController::selectionLine(pointer, QGuiApplication::primaryScreen()->geometry());
    EXPECT_FALSE(bar.barView()->optionsMenu()->geometry().intersects(line));
    EXPECT_LT(bar.barView()->optionsMenu()->geometry().bottom(),
              bar.barView()->optionsButton()->mapToGlobal(QPoint(0, 0)).y());
    hover(bar.barView(), false);
    // The menu is still open: no timer.
    EXPECT_FALSE(bar.isHideTimerActive());
    runQueuedWork(2000);
    EXPECT_TRUE(bar.window()->isVisible());

    // Closing the menu with the pointer elsewhere starts a fresh 2 s.
    bar.barView()->optionsMenu()->performClose();
    EXPECT_FALSE(bar.barView()->isShowingOptions());
    EXPECT_TRUE(bar.isHideTimerActive());
    ASSERT_TRUE(waitUntil([&] { return !bar.window()->isVisible(); }, 10000));
}

TEST_F(FloatingBarControllerTest, TranslateClickReachesTheOwnerATenthOfASecondLater) {
    UserDefaults::standard().set(QStringLiteral("defaultTargetLanguage"), QStringLiteral("de"));
    const QString text = QStringLiteral("Merhaba dünya, bu uzun bir metin.");
    FloatingBarWindowController& bar = makeBar(text);
    QStringList calls;
    QElapsedTimer clock;
    bar.onTranslateClicked = [&](const QString& selected, const QString& target) {
        calls << selected + QLatin1Char('|') + target + QLatin1Char('|') + QString::number(clock.elapsed());
    };
    bar.showWindow(QRect(pointer, QSize(1, 1)));
    clock.start();
    QTest::mouseClick(bar.barView()->translateButton(), Qt::LeftButton);
    EXPECT_FALSE(bar.isHideTimerActive());
    EXPECT_TRUE(calls.isEmpty());
    ASSERT_TRUE(waitUntil([&] { return !calls.isEmpty(); }, 10000));
    const QStringList parts = calls.first().split(u'|');
    EXPECT_EQ(parts[0], text);
    EXPECT_EQ(parts[1], QStringLiteral("de"));
    EXPECT_GE(parts[2].toInt(), 90);

    // Without an owner the click only stops the timer.
    bar.onTranslateClicked = nullptr;
    bar.showWindow(QRect(pointer, QSize(1, 1)));
    ASSERT_TRUE(bar.isHideTimerActive());
    bar.barView()->translate();
    EXPECT_FALSE(bar.isHideTimerActive());
    runQueuedWork(100);
    EXPECT_EQ(bar.translationPopover(), nullptr);
    EXPECT_EQ(calls.size(), 1);
}

TEST_F(FloatingBarControllerTest, ClickElsewhereHidesBarAndPopoverButNotClicksOnThem) {
    FloatingBarWindowController& bar = makeBar();
    // The monitor starts on the turn after the bar is made.
    ASSERT_TRUE(waitUntil([&bar] { return bar.hasGlobalEventMonitor(); }));
    bar.showWindow(QRect(pointer, QSize(1, 1)));
    bar.showTranslationPopover(bar.selectedText(), QStringLiteral("tr"), QStringLiteral("en"));
    PopoverWindow* popover = bar.translationPopover();
    ASSERT_TRUE(popover && popover->isShown());

    monitor()->send(GlobalMouseEvent::Type::LeftMouseDown, bar.window()->geometry().center());
    monitor()->send(GlobalMouseEvent::Type::LeftMouseDown, popover->geometry().center());
    EXPECT_TRUE(bar.window()->isVisible());
    EXPECT_TRUE(popover->isShown());
    // Presses and drags that are not presses change nothing.
    monitor()->send(GlobalMouseEvent::Type::LeftMouseUp, QPoint(5, 5));

    // The press that closes an open picker list is the list's, whether Qt hands it to the list before
    // or after the monitor reports it.
    MenuPicker* picker = bar.translationPopoverView()->servicePicker();
    picker->showPopup();
    ASSERT_TRUE(QApplication::activePopupWidget());
    monitor()->send(GlobalMouseEvent::Type::LeftMouseDown, QPoint(5, 5));
    EXPECT_TRUE(bar.window()->isVisible());
    EXPECT_TRUE(popover->isShown());
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(-500, -500), QPointF(5, 5), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    press.setTimestamp(123456);
    QApplication::sendEvent(QApplication::activePopupWidget(), &press);
    picker->hidePopup();
    ASSERT_FALSE(QApplication::activePopupWidget());
    GlobalMouseEvent sameTime;
    sameTime.type = GlobalMouseEvent::Type::LeftMouseDown;
    sameTime.position = QPoint(5, 5);
    sameTime.timestampMs = 123456;
    monitor()->send(sameTime);
    EXPECT_TRUE(bar.window()->isVisible());
    EXPECT_TRUE(popover->isShown());

    // A press in another window of ours (an empty spot of the settings window) is no click in another
    // application: the bar and its popover stay, whichever of the monitor and Qt reports it first.
    QWidget settings;
    settings.setGeometry(0, 0, 200, 200);
    settings.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&settings));
    monitor()->send(GlobalMouseEvent::Type::LeftMouseDown, QPoint(5, 5));
    QTest::mouseClick(&settings, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(bar.window()->isVisible());
    EXPECT_TRUE(popover->isShown());
    // Presses in the bar itself still close its popover, as presses in the window it hangs from.
    QTest::mouseClick(bar.barView(), Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_FALSE(popover->isShown());
    bar.showTranslationPopover(bar.selectedText(), QStringLiteral("tr"), QStringLiteral("en"));
    popover = bar.translationPopover();
    ASSERT_TRUE(popover && popover->isShown());

    settings.hide();
    monitor()->send(GlobalMouseEvent::Type::LeftMouseDown, QPoint(5, 5));
    EXPECT_FALSE(bar.window()->isVisible());
    EXPECT_FALSE(popover->isShown());
    EXPECT_FALSE(bar.isHideTimerActive());

    // Hidden with no popover: ignored.
    monitor()->send(GlobalMouseEvent::Type::LeftMouseDown, QPoint(5, 5));
    EXPECT_FALSE(bar.window()->isVisible());

    // A right press does as a left one. The hidden bar stopped watching; shown again, it watches from the
    // next turn.
    bar.showWindow(QRect(pointer, QSize(1, 1)));
    ASSERT_TRUE(waitUntil([&bar] { return bar.hasGlobalEventMonitor(); }));
    bar.showTranslationPopover(bar.selectedText(), QStringLiteral("tr"), QStringLiteral("en"));
    popover = bar.translationPopover();
    ASSERT_TRUE(popover && popover->isShown());
    monitor()->send(GlobalMouseEvent::Type::RightMouseDown, bar.window()->geometry().center());
    monitor()->send(GlobalMouseEvent::Type::RightMouseDown, popover->geometry().center());
    EXPECT_TRUE(bar.window()->isVisible());
    EXPECT_TRUE(popover->isShown());
    monitor()->send(GlobalMouseEvent::Type::RightMouseDown, QPoint(5, 5));
    EXPECT_FALSE(bar.window()->isVisible());
    EXPECT_FALSE(popover->isShown());
    EXPECT_FALSE(bar.isHideTimerActive());
}

// Watching clicks elsewhere costs a wake-up per click anywhere on the desktop, and its handling of the
// presses of the next selection stands in that bar's way: the monitor runs only while there is
// something to hide.
TEST_F(FloatingBarControllerTest, ClicksElsewhereAreWatchedOnlyWhileTheBarOrItsPopoverShows) {
    FloatingBarWindowController& bar = makeBar();
    const auto watching = [&bar](bool expected) {
        if (expected)
            return waitUntil([&bar] { return bar.hasGlobalEventMonitor(); });
        return !bar.hasGlobalEventMonitor();
    };
    bar.showWindow(QRect(pointer, QSize(1, 1)));
    ASSERT_TRUE(watching(true));
    bar.hideWindow();
    EXPECT_TRUE(watching(false));

    // Shown again; and by the popover alone, when the translate click's popover comes after the bar went.
    bar.showWindow(QRect(pointer, QSize(1, 1)));
    ASSERT_TRUE(watching(true));
    bar.hideWindow();
    bar.showTranslationPopover(bar.selectedText(), QStringLiteral("tr"), QStringLiteral("en"));
    ASSERT_TRUE(bar.translationPopover()->isShown());
    EXPECT_TRUE(watching(true));
    monitor()->send(GlobalMouseEvent::Type::LeftMouseDown, QPoint(5, 5));
    EXPECT_FALSE(bar.translationPopover()->isShown());
    EXPECT_TRUE(watching(false));

    // A popover closed beside a bar still showing leaves the watch on; the bar's own timer ends it.
    bar.showWindow(QRect(pointer, QSize(1, 1)));
    bar.showTranslationPopover(bar.selectedText(), QStringLiteral("tr"), QStringLiteral("en"));
    ASSERT_TRUE(watching(true));
    bar.translationPopover()->performClose();
    EXPECT_TRUE(watching(true));
    ASSERT_TRUE(waitUntil([&] { return !bar.window()->isVisible(); }, 10000));
    EXPECT_TRUE(watching(false));
}

TEST_F(FloatingBarControllerTest, WithoutAGlobalMonitorTheBarStillWorks) {
    fakePlatform().mouseMonitorsAvailable = false;
    FloatingBarWindowController& bar = makeBar();
    EXPECT_FALSE(bar.hasGlobalEventMonitor());
    bar.showWindow(QRect(pointer, QSize(1, 1)));
    EXPECT_TRUE(bar.window()->isVisible());
}

TEST_F(FloatingBarControllerTest, PopoverUsesTheStoredProviderAndItsHeight) {
    const struct {
        std::optional<QString> stored;
        TranslationService expected;
    } cases[] = {{QStringLiteral("deepl"), TranslationService::DeepL},
                 {QStringLiteral("gemini"), TranslationService::Gemini},
                 {QStringLiteral("bing"), TranslationService::Google},
                 {std::nullopt, TranslationService::Google}};
    for (const auto& c : cases) {
        if (c.stored)
            UserDefaults::standard().set(QStringLiteral("floatingBarTranslationService"), *c.stored);
        else
            UserDefaults::standard().remove(QStringLiteral("floatingBarTranslationService"));
        FloatingBarWindowController& bar = makeBar(QString(400, u'a'));
        bar.showWindow(QRect(pointer, QSize(1, 1)));
        bar.showTranslationPopover(bar.selectedText(), QStringLiteral("auto"), QStringLiteral("en"));
        TranslationPopoverView* view = bar.translationPopoverView();
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(view->selectedService(), c.expected) << c.stored.value_or("(missing)").toStdString();
        EXPECT_EQ(view->triggerSource(), QStringLiteral("floating_bar"));
        EXPECT_EQ(view->popoverHeight(), 372);
        EXPECT_EQ(bar.translationPopover()->contentSize(), QSize(450, 372));
    }
}

TEST_F(FloatingBarControllerTest, PopoverOpensBelowTheBarAndHoldsTheTimerUntilItCloses) {
    FloatingBarWindowController& bar = makeBar();
    bar.showWindow(QRect(pointer, QSize(1, 1)));
    bar.showTranslationPopover(bar.selectedText(), QStringLiteral("tr"), QStringLiteral("en"));
    PopoverWindow* first = bar.translationPopover();
    EXPECT_FALSE(bar.isHideTimerActive());
    const QRect barOnScreen(bar.barView()->mapToGlobal(bar.barView()->barRect().topLeft()),
                            bar.barView()->barRect().size());
    // Off the bar, the pointer and the line under it.
    EXPECT_FALSE(first->geometry().intersects(
        FloatingBarWindowController::popoverAnchor(barOnScreen, pointer)));

    // A second popover closes the first; still no timer while it is open.
    bar.showTranslationPopover(bar.selectedText(), QStringLiteral("tr"), QStringLiteral("de"));
    PopoverWindow* second = bar.translationPopover();
    EXPECT_NE(first, second);
    EXPECT_FALSE(bar.isHideTimerActive());
    runQueuedWork();

    second->performClose();
    EXPECT_TRUE(bar.isHideTimerActive());
    ASSERT_TRUE(waitUntil([&] { return !bar.window()->isVisible(); }, 10000));
}

TEST_F(FloatingBarControllerTest, DisableExcludesTheFrontmostApplicationAndPostsTwice) {
    ExcludedAppsManager::saveExcludedApps({QStringLiteral("org.example.Other")});
    fakePlatform().fakeWorkspace().frontmost = RunningApplication{
        1, 42, QStringLiteral("org.gnome.TextEditor"), QStringLiteral("Text Editor"), QString()};
    QList<QVariant> posted;
    QObject context;
    NotificationCenter::shared().addObserver(Notifications::ExcludedAppsChanged, &context,
                                             [&](const QVariantMap& info) { posted << info.value("apps"); });
    FloatingBarWindowController& bar = makeBar();
    bar.showWindow(QRect(pointer, QSize(1, 1)));
    bar.barView()->setShowingOptions(true);
    auto buttons = bar.barView()->optionsMenu()->findChildren<HoverButton*>();
    ASSERT_EQ(buttons.size(), 2);
    EXPECT_EQ(buttons[0]->label(), QStringLiteral("Close"));
    EXPECT_EQ(buttons[1]->label(), QStringLiteral("Disable floating bar for this application"));
    QTest::mouseClick(buttons[1], Qt::LeftButton);

    const QStringList expected{QStringLiteral("org.example.Other"), QStringLiteral("org.gnome.TextEditor")};
    EXPECT_EQ(ExcludedAppsManager::loadExcludedApps(), expected);
    ASSERT_EQ(posted.size(), 2);
    EXPECT_EQ(posted[0].toStringList(), expected);
    EXPECT_EQ(posted[1].toStringList(), expected);
    EXPECT_FALSE(bar.window()->isVisible());
    EXPECT_FALSE(bar.barView()->optionsMenu()->isShown());
}

TEST_F(FloatingBarControllerTest, DisableWithoutAnIdentifiedApplicationOnlyHides) {
    for (auto frontmost :
         {std::optional<RunningApplication>(),
          std::optional<RunningApplication>(RunningApplication{1, 42, QString(), QString(), QString()})}) {
        fakePlatform().fakeWorkspace().frontmost = frontmost;
        QObject context;
        int posts = 0;
        NotificationCenter::shared().addObserver(Notifications::ExcludedAppsChanged, &context,
                                                 [&](const QVariantMap&) { ++posts; });
        FloatingBarWindowController& bar = makeBar();
        bar.showWindow(QRect(pointer, QSize(1, 1)));
        bar.barView()->setShowingOptions(true);
        QTest::mouseClick(bar.barView()->optionsMenu()->findChildren<HoverButton*>()[1], Qt::LeftButton);
        EXPECT_EQ(posts, 0);
        EXPECT_TRUE(ExcludedAppsManager::loadExcludedApps().isEmpty());
        EXPECT_FALSE(bar.window()->isVisible());
    }
}

TEST_F(FloatingBarControllerTest, CloseEntryHidesTheBar) {
    FloatingBarWindowController& bar = makeBar();
    bar.showWindow(QRect(pointer, QSize(1, 1)));
    bar.barView()->setShowingOptions(true);
    QTest::mouseClick(bar.barView()->optionsMenu()->findChildren<HoverButton*>()[0], Qt::LeftButton);
    EXPECT_FALSE(bar.window()->isVisible());
    EXPECT_FALSE(bar.barView()->optionsMenu()->isShown());
}

TEST_F(FloatingBarControllerTest, ManagerMovesTheBarToTheNextSelectionAndPicksTheSourceLanguage) {
    UserDefaults::standard().set(QStringLiteral("defaultTargetLanguage"), QStringLiteral("en"));
    UserDefaults::standard().set(QStringLiteral("defaultSourceLanguage"), QStringLiteral("auto"));
    FloatingBarManager manager;
    manager.showFloatingBar(QStringLiteral("Merhaba"), QStringLiteral("tr"), false,
                            QRect(pointer, QSize(1, 1)));
    QPointer<FloatingBarWindowController> first = manager.floatingBar();
    ASSERT_TRUE(first && first->window()->isVisible());

    manager.showFloatingBar(QStringLiteral("Hello"), QStringLiteral("en"), true,
                            QRect(QPoint(200, 300), QSize(1, 1)));
    FloatingBarWindowController* second = manager.floatingBar();
    // The same bar, taken to the new selection.
    EXPECT_EQ(second, first.data());
    EXPECT_TRUE(second->window()->isVisible());
    EXPECT_EQ(second->window()->geometry(), QRect(200, 240, 110, 60));
    EXPECT_TRUE(second->isInEditableField());

    // Detected English with English as the target: the stored source is "auto", so the target becomes
    // English... and the source "auto" since the two are equal.
    second->barView()->translate();
    ASSERT_TRUE(waitUntil([&] { return second->translationPopoverView() != nullptr; }, 10000));
    EXPECT_EQ(second->translationPopoverView()->sourceLanguage(), QStringLiteral("auto"));
    EXPECT_EQ(second->translationPopoverView()->targetLanguage(), QStringLiteral("en"));

    manager.showFloatingBar(QStringLiteral("Merhaba"), QStringLiteral("tr"), false,
                            QRect(pointer, QSize(1, 1)));
    manager.floatingBar()->barView()->translate();
    ASSERT_TRUE(waitUntil([&] { return manager.floatingBar()->translationPopoverView() != nullptr; }, 10000));
    EXPECT_EQ(manager.floatingBar()->translationPopoverView()->sourceLanguage(), QStringLiteral("tr"));
    EXPECT_EQ(manager.floatingBar()->translationPopoverView()->targetLanguage(), QStringLiteral("en"));
}

// One bar serves every selection. Whatever the previous selection left of it, the next one finds it as a
// newly made bar, at its own place, with its own text, and nothing of the previous one reaches it.
TEST_F(FloatingBarControllerTest, EachSelectionFindsTheBarAsNewWhateverThePreviousOneLeft) {
    DevApiServer api;
    ASSERT_TRUE(api.start());
    api.useAsApiBase();
    UserDefaults::standard().set(QStringLiteral("defaultTargetLanguage"), QStringLiteral("en"));
    FloatingBarManager manager;
    const auto openPopover = [](FloatingBarWindowController& bar) {
        bar.barView()->translate();
        return waitUntil([&] { return bar.translationPopover() && bar.translationPopover()->isShown(); });
    };
    const auto optionsMenu = [](FloatingBarWindowController& bar, int entry) {
        bar.barView()->setShowingOptions(true);
        return bar.barView()->optionsMenu()->findChildren<HoverButton*>().value(entry);
    };
    const struct {
        const char* left;
        QString text;
        std::function<void(FloatingBarWindowController&)> leave;
    } cases[] = {
        {"the bar still showing", QStringLiteral("bir"), [](FloatingBarWindowController&) {}},
        {"its popover open, the answer on its way", QStringLiteral("dev-api:slow:1500"),
         [&](FloatingBarWindowController& bar) {
             ASSERT_TRUE(openPopover(bar));
             EXPECT_TRUE(bar.translationPopoverView()->isLoading());
         }},
        {"its popover showing an error", QStringLiteral("dev-api:500"),
         [&](FloatingBarWindowController& bar) {
             ASSERT_TRUE(openPopover(bar));
             ASSERT_TRUE(waitUntil([&] { return bar.translationPopoverView()->error().has_value(); }));
         }},
        {"its popover closed with Escape", QStringLiteral("iki"),
         [&](FloatingBarWindowController& bar) {
             ASSERT_TRUE(openPopover(bar));
             PopoverWindow* popover = bar.translationPopover();
             ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == popover; }));
             QTest::keyClick(popover, Qt::Key_Escape);
             ASSERT_FALSE(popover->isShown());
             EXPECT_TRUE(bar.window()->isVisible());
         }},
        {"a click elsewhere", QStringLiteral("üç"),
         [&](FloatingBarWindowController& bar) {
             ASSERT_TRUE(openPopover(bar));
             ASSERT_TRUE(waitUntil([&bar] { return bar.hasGlobalEventMonitor(); }));
             monitor()->send(GlobalMouseEvent::Type::LeftMouseDown, QPoint(5, 5));
             ASSERT_FALSE(bar.window()->isVisible());
         }},
        {"the pointer on it, its options menu open", QStringLiteral("dört"),
         [&](FloatingBarWindowController& bar) {
             hover(bar.barView(), true);
             ASSERT_NE(optionsMenu(bar, 0), nullptr);
             ASSERT_TRUE(bar.barView()->optionsMenu()->isShown());
         }},
        {"its options menu's Close", QStringLiteral("beş"),
         [&](FloatingBarWindowController& bar) {
             QTest::mouseClick(optionsMenu(bar, 0), Qt::LeftButton);
             ASSERT_FALSE(bar.window()->isVisible());
         }},
        {"a translate click on its way", QStringLiteral("altı"),
         [](FloatingBarWindowController& bar) { bar.barView()->translate(); }},
    };
    QPointer<FloatingBarWindowController> bar;
    for (size_t i = 0; i <= std::size(cases); ++i) {
        const bool editable = i % 2 == 1;
        const QString text = i < std::size(cases) ? cases[i].text : QStringLiteral("yedi");
        const QPoint at(200 + 30 * int(i), 300 + 20 * int(i));
        QPointer<PopoverWindow> previousPopover = bar ? bar->translationPopover() : nullptr;
        QPointer<TranslationPopoverView> previousView = bar ? bar->translationPopoverView() : nullptr;
        manager.showFloatingBar(text, QStringLiteral("tr"), editable, QRect(at, QSize(1, 1)));
        SCOPED_TRACE(i == 0 ? "the first selection" : cases[i - 1].left);
        if (bar) {
            ASSERT_EQ(manager.floatingBar(), bar.data());
        }
        bar = manager.floatingBar();
        ASSERT_TRUE(bar);

        EXPECT_TRUE(bar->window()->isVisible());
        EXPECT_EQ(bar->window()->geometry(), QRect(at - QPoint(0, 60), QSize(110, 60)));
        EXPECT_EQ(bar->selectedText(), text);
        EXPECT_EQ(bar->barView()->selectedText(), text);
        EXPECT_EQ(bar->barView()->detectedLanguage(), QStringLiteral("tr"));
        EXPECT_EQ(bar->isInEditableField(), editable);
        EXPECT_EQ(bar->barView()->isInEditableField(), editable);
        EXPECT_FALSE(bar->barView()->isHovering());
        EXPECT_FALSE(bar->barView()->isShowingOptions());
        EXPECT_TRUE(!bar->barView()->optionsMenu() || !bar->barView()->optionsMenu()->isShown());
        EXPECT_TRUE(bar->isHideTimerActive());
        // The previous popover goes, with the request in it: its answer, however late, has nowhere to go.
        EXPECT_EQ(bar->translationPopover(), nullptr);
        EXPECT_TRUE(!previousPopover || !previousPopover->isShown());
        EXPECT_TRUE(waitUntil([&] { return previousPopover.isNull() && previousView.isNull(); }));
        // Nor does a translate click made on the previous selection open a popover now.
        runQueuedWork(100);
        EXPECT_EQ(bar->translationPopover(), nullptr);
        EXPECT_TRUE(waitUntil([&] { return bar->hasGlobalEventMonitor(); }));

        if (i < std::size(cases))
            cases[i].leave(*bar);
    }

    // The new selection's own popover shows its own answer, also once the previous one's came late.
    manager.showFloatingBar(QStringLiteral("dev-api:slow:800"), QStringLiteral("tr"), false,
                            QRect(pointer, QSize(1, 1)));
    QElapsedTimer sinceSlowRequest;
    sinceSlowRequest.start();
    ASSERT_TRUE(openPopover(*bar));
    manager.showFloatingBar(QStringLiteral("sekiz"), QStringLiteral("tr"), false, QRect(pointer, QSize(1, 1)));
    ASSERT_TRUE(openPopover(*bar));
    TranslationPopoverView* view = bar->translationPopoverView();
    ASSERT_TRUE(waitUntil([&] { return !view->isLoading(); }));
    // Past the moment the previous selection's answer was due.
    runQueuedWork(std::max(0, 800 + 300 - int(sinceSlowRequest.elapsed())));
    EXPECT_EQ(view->text(), QStringLiteral("sekiz"));
    EXPECT_EQ(view->translatedText(), QStringLiteral("[en] sekiz"));
    EXPECT_EQ(bar->translationPopoverView(), view);
}

TEST_F(FloatingBarControllerTest, SwitchingTheBarOffLetsItGoAndTheNextSelectionMakesItAnew) {
    FloatingBarManager manager;
    manager.showFloatingBar(QStringLiteral("Merhaba"), QStringLiteral("tr"), false, QRect(pointer, QSize(1, 1)));
    QPointer<FloatingBarWindowController> bar = manager.floatingBar();
    QPointer<QWidget> window = bar->window();
    ASSERT_TRUE(waitUntil([&] { return bar->hasGlobalEventMonitor(); }));

    NotificationCenter::shared().post(QStringLiteral("FloatingBarVisibilityChanged"),
                                      {{QStringLiteral("value"), true}});
    EXPECT_EQ(manager.floatingBar(), bar.data());
    EXPECT_TRUE(window->isVisible());

    NotificationCenter::shared().post(QStringLiteral("FloatingBarVisibilityChanged"),
                                      {{QStringLiteral("value"), false}});
    EXPECT_EQ(manager.floatingBar(), nullptr);
    EXPECT_TRUE(!window || !window->isVisible());
    // With its window and its click monitor.
    EXPECT_TRUE(waitUntil([&] { return bar.isNull() && window.isNull(); }));
    EXPECT_TRUE(fakePlatform().mouseMonitors.last().isNull());

    manager.showFloatingBar(QStringLiteral("Hello"), QStringLiteral("en"), false, QRect(pointer, QSize(1, 1)));
    ASSERT_NE(manager.floatingBar(), nullptr);
    EXPECT_TRUE(manager.floatingBar()->window()->isVisible());
    EXPECT_EQ(manager.floatingBar()->selectedText(), QStringLiteral("Hello"));
}

#include "menubar/MenuBarManager.h"

#include "FakePlatform.h"
#include "TestUtils.h"
#include "menubar/translator/AttachedPopover.h"
#include "menubar/translator/LanguagePickerView.h"
#include "menubar/translator/LanguageSelector.h"
#include "menubar/translator/MenuBarView.h"
#include "menubar/translator/RewriteButton.h"
#include "menubar/translator/TranslationHeader.h"
#include "menubar/translator/TranslatorActionBar.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/UserDefaults.h"
#include "ui/PopoverWindow.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTest>
#include <gtest/gtest.h>
#include <qpa/qwindowsysteminterface.h>
#include <memory>

namespace {

struct Posted {
    QString name;
    QVariantMap userInfo;
    qint64 atMs;
};

class MenuBarManagerTest : public ::testing::Test {
protected:
    std::unique_ptr<MenuBarManager> make(bool alwaysOnTop) {
        UserDefaults::standard().set(QStringLiteral("alwaysOnTop"), alwaysOnTop);
        return std::make_unique<MenuBarManager>();
    }

    // Records the posts of `names` with their time since the recorder started.
    void record(const QStringList& names) {
        m_clock.start();
        for (const QString& name : names) {
            NotificationCenter::shared().addObserver(name, &m_context, [this, name](const QVariantMap& info) {
                m_posted.append({name, info, m_clock.elapsed()});
            });
        }
    }

    QObject m_context;
    QElapsedTimer m_clock;
    QList<Posted> m_posted;
};

} // namespace

TEST_F(MenuBarManagerTest, CloseRuleWithAndWithoutAlwaysOnTop) {
    using Reason = MenuBarManager::CloseReason;
    struct Case {
        bool alwaysOnTop;
        Reason reason;
        bool closes;
    };
    const QList<Case> cases = {
        {false, Reason::Escape, true}, {false, Reason::StatusItemClick, true}, {false, Reason::Request, true},
        {true, Reason::Escape, true},  {true, Reason::StatusItemClick, true},  {true, Reason::Request, false},
    };
    for (const Case& c : cases) {
        auto manager = make(c.alwaysOnTop);
        EXPECT_EQ(manager->popover()->behavior(), c.alwaysOnTop ? PopoverWindow::Behavior::ApplicationDefined
                                                                : PopoverWindow::Behavior::Transient);
        manager->showPopover();
        ASSERT_TRUE(manager->isPopoverShown());
        EXPECT_EQ(manager->popover()->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint), c.alwaysOnTop);
        manager->requestClose(c.reason);
        EXPECT_EQ(!manager->isPopoverShown(), c.closes) << c.alwaysOnTop << int(c.reason);
    }

    // Opened from a window of ours that had the keyboard, the translator takes it a moment later; the
    // application seeming inactive meanwhile (that window lost the keyboard to the grab of the hot key
    // that opened the translator) is no other application. Once the translator has the keyboard, it is.
    const struct {
        const char* when;
        bool activated;
        bool closes;
    } deactivations[] = {
        {"before the translator has the keyboard", false, false},
        {"once it has it", true, true},
    };
    for (const auto& d : deactivations) {
        SCOPED_TRACE(d.when);
        auto manager = make(false);
        QWindowSystemInterface::handleApplicationStateChanged(Qt::ApplicationActive, true);
        QWindowSystemInterface::flushWindowSystemEvents();
        manager->showPopover();
        ASSERT_TRUE(manager->isPopoverShown());
        if (d.activated) {
            ASSERT_TRUE(waitUntil(
                [&] { return QGuiApplication::focusWindow() == manager->popover()->windowHandle(); }, 10000));
        }
        // Delivered at once, ahead of the activation the showing queued.
        QWindowSystemInterface::handleApplicationStateChanged<QWindowSystemInterface::SynchronousDelivery>(
            Qt::ApplicationInactive, true);
        EXPECT_EQ(!manager->isPopoverShown(), d.closes);
    }

    // "ClosePopover" and the shortcuts' "ToggleMenuBar" are requests it refuses; Escape and the tray icon
    // are the user's own closing.
    auto manager = make(true);
    manager->showPopover();
    NotificationCenter::shared().post(Notifications::ClosePopover);
    EXPECT_TRUE(manager->isPopoverShown());
    NotificationCenter::shared().post(Notifications::ToggleMenuBar);
    EXPECT_TRUE(manager->isPopoverShown());
    NotificationCenter::shared().post(Notifications::ToggleMenuBar, {{QStringLiteral("isOCR"), true}});
    EXPECT_TRUE(manager->isPopoverShown());
    // Escape in an open language picker closes the picker only; then it closes the popover.
    manager->view()->languageSelector()->openTargetPicker();
    LanguagePickerView* picker = manager->view()->languageSelector()->targetPicker();
    ASSERT_NE(picker, nullptr);
    QTest::keyClick(picker->searchField(), Qt::Key_Escape);
    EXPECT_EQ(manager->view()->languageSelector()->targetPicker(), nullptr);
    EXPECT_TRUE(manager->isPopoverShown());
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(manager->view(), &escape);
    EXPECT_FALSE(manager->isPopoverShown());
    NotificationCenter::shared().post(Notifications::ToggleMenuBar);
    EXPECT_TRUE(manager->isPopoverShown());
    manager->handleTrayActivation(QSystemTrayIcon::Context);
    EXPECT_TRUE(manager->isPopoverShown());
    manager->handleTrayActivation(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(manager->isPopoverShown());

    // Switching the setting off makes the popover transient again, stacked as any window, and shows it
    // anew; a press in another window of ours (the settings window) then closes it.
    manager->showPopover();
    QWidget settings;
    settings.setGeometry(0, 0, 200, 200);
    settings.show();
    QTest::mouseClick(&settings, Qt::LeftButton);
    EXPECT_TRUE(manager->isPopoverShown());
    NotificationCenter::shared().post(Notifications::AlwaysOnTopChanged, {{QStringLiteral("value"), false}});
    EXPECT_FALSE(manager->isAlwaysOnTop());
    EXPECT_EQ(manager->popover()->behavior(), PopoverWindow::Behavior::Transient);
    EXPECT_TRUE(waitUntil([&] { return manager->isPopoverShown(); }, 10000));
    EXPECT_FALSE(manager->popover()->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
    QTest::mouseClick(&settings, Qt::LeftButton);
    EXPECT_FALSE(manager->isPopoverShown());
    // A tray another program draws: the press of a click on the icon closes the translator, and the click,
    // reaching us as the tray's activation, leaves it closed.
    manager->showPopover();
    QCursor::setPos(5, 590);
    ASSERT_TRUE(fakePlatform().mouseMonitors.last());
    fakePlatform().mouseMonitors.last()->send(GlobalMouseEvent::Type::LeftMouseDown, QCursor::pos());
    runQueuedWork();
    EXPECT_FALSE(manager->isPopoverShown());
    manager->handleTrayActivation(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(manager->isPopoverShown());
    manager->showPopover();
    NotificationCenter::shared().post(Notifications::AlwaysOnTopChanged, {{QStringLiteral("value"), 1}});
    EXPECT_FALSE(manager->isAlwaysOnTop());

    // The OCR toggle only ever closes.
    NotificationCenter::shared().post(Notifications::ToggleMenuBar, {{QStringLiteral("isOCR"), true}});
    EXPECT_FALSE(manager->isPopoverShown());
    NotificationCenter::shared().post(Notifications::ToggleMenuBar, {{QStringLiteral("isOCR"), true}});
    EXPECT_FALSE(manager->isPopoverShown());
    NotificationCenter::shared().post(Notifications::ToggleMenuBar,
                                      {{QStringLiteral("isOCR"), QStringLiteral("yes")}});
    EXPECT_TRUE(manager->isPopoverShown());
}

TEST_F(MenuBarManagerTest, PopoverHangsUnderTheTrayOrAtTheTopRightOfTheScreen) {
    UserDefaults::standard().set(QStringLiteral("defaultTargetLanguage"), QStringLiteral("fr"));
    auto manager = make(false);
    // The translator is made on first use. What it must hear before then waits, in order, and what needs
    // it makes it at once; the languages handed over stand over the stored ones.
    NotificationCenter::shared().post(Notifications::OpenFavoritesWindow);
    NotificationCenter::shared().post(Notifications::CloseFavoritesWindow);
    NotificationCenter::shared().post(Notifications::OpenFavoritesWindow);
    runQueuedWork();
    EXPECT_EQ(manager->view(), nullptr);
    NotificationCenter::shared().post(Notifications::SetTranslationLanguages,
                                      {{QStringLiteral("sourceLanguage"), QStringLiteral("de")},
                                       {QStringLiteral("targetLanguage"), QStringLiteral("es")}});
    ASSERT_NE(manager->view(), nullptr);
    EXPECT_TRUE(manager->view()->showFavoritesWindow());
    runQueuedWork();
    EXPECT_EQ(manager->view()->sourceLanguage().code, QStringLiteral("de"));
    EXPECT_EQ(manager->view()->targetLanguage().code, QStringLiteral("es"));
    // Observed once, by the view alone, from then on.
    NotificationCenter::shared().post(Notifications::ShowInlineAlert,
                                      {{QStringLiteral("message"), QStringLiteral("Hi")}});
    EXPECT_TRUE(manager->view()->showAlert());
    EXPECT_EQ(NotificationCenter::shared().observerCount(Notifications::ShowInlineAlert), 1);
    manager->view()->setShowAlert(false);
    ASSERT_TRUE(waitUntil([&] { return manager->view()->inlineAlert()->isHidden(); }));
    manager->showPopover();
    const PopoverWindow& popover = *manager->popover();
    // Without a tray on this display: the top-right corner, fully on screen, 400 wide.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(popover.contentSize().width(), 400);
    EXPECT_EQ(popover.geometry().right(), screen.right());
    EXPECT_EQ(popover.geometry().top(), screen.top());
    EXPECT_GE(popover.contentSize().height(), manager->view()->sizeHint().height());
    // A tray host of another process finds the installed icon by name, and pixmaps up to 64 px.
    EXPECT_EQ(manager->statusItem()->icon().name(), QStringLiteral("quillora"));
    EXPECT_TRUE(manager->statusItem()->icon().availableSizes().contains(QSize(64, 64)));

    const QList<QAction*> actions = manager->rightClickMenu()->actions();
    ASSERT_EQ(actions.size(), 6);
    EXPECT_EQ(actions.at(2)->text(), QStringLiteral("Settings"));
    EXPECT_EQ(actions.at(3)->text(), QStringLiteral("Check for Updates"));
    EXPECT_TRUE(actions.at(4)->isSeparator());
    EXPECT_EQ(actions.at(5)->text(), QStringLiteral("Quit"));
    record({Notifications::OpenSettingsWindow});
    int checks = 0;
    manager->setCheckForUpdatesHandler([&checks] { ++checks; });
    actions.at(2)->trigger();
    actions.at(3)->trigger();
    EXPECT_EQ(m_posted.size(), 1);
    EXPECT_EQ(checks, 1);
}

TEST_F(MenuBarManagerTest, WithoutATrayTheApplicationsManagerSaysSoOnceAndOpensByItself) {
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    ASSERT_FALSE(MenuBarManager::hasShared());
    testing::internal::CaptureStderr();
    MenuBarManager& manager = MenuBarManager::shared();
    EXPECT_EQ(&MenuBarManager::shared(), &manager);
    const bool shown = waitUntil([&] { return manager.isPopoverShown(); }, 2000);
    const QString output = QString::fromStdString(testing::internal::GetCapturedStderr());
    EXPECT_TRUE(shown);
    EXPECT_EQ(output.count(QStringLiteral("Quillora: no system tray on this display")), 1) << output.toStdString();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(manager.popover()->geometry().right(), screen.right());
    EXPECT_EQ(manager.popover()->geometry().top(), screen.top());
    delete &manager;
}

TEST_F(MenuBarManagerTest, SelectedTextIsLimitedTo5000CharactersAndHandedOverInOrder) {
    auto manager = make(false);
    record({Notifications::ShowInlineAlert, Notifications::SetTranslationLanguages,
            Notifications::SetTranslationInput});

    // 5000 emoji of several code points each are 5000 characters.
    const QString family = QStringLiteral("👨‍👩‍👧");
    manager->handleSelectedText(family.repeated(5000), QStringLiteral("auto"), QStringLiteral("de"));
    EXPECT_TRUE(manager->isPopoverShown());
    EXPECT_TRUE(m_posted.isEmpty());
    ASSERT_TRUE(waitUntil([&] { return m_posted.size() == 2; }, 10000));
    EXPECT_EQ(m_posted.at(0).name, Notifications::SetTranslationLanguages);
    EXPECT_EQ(m_posted.at(0).userInfo.value(QStringLiteral("sourceLanguage")), QStringLiteral("auto"));
    EXPECT_EQ(m_posted.at(0).userInfo.value(QStringLiteral("targetLanguage")), QStringLiteral("de"));
    EXPECT_EQ(m_posted.at(1).name, Notifications::SetTranslationInput);
    EXPECT_EQ(m_posted.at(1).userInfo.value(QStringLiteral("text")).toString().size(), family.size() * 5000);
    EXPECT_GE(m_posted.at(0).atMs, 290);
    // Not much later, even on a loaded machine.
    EXPECT_LT(m_posted.at(0).atMs, 2000);

    // One more is refused at once with a warning, and the popover is opened for it.
    m_posted.clear();
    manager->requestClose(MenuBarManager::CloseReason::Escape);
    manager->handleSelectedText(family.repeated(5001), QStringLiteral("auto"), QStringLiteral("de"));
    EXPECT_TRUE(manager->isPopoverShown());
    ASSERT_EQ(m_posted.size(), 1);
    EXPECT_EQ(m_posted.at(0).name, Notifications::ShowInlineAlert);
    EXPECT_EQ(m_posted.at(0).userInfo.value(QStringLiteral("type")), QStringLiteral("warning"));
    EXPECT_EQ(m_posted.at(0).userInfo.value(QStringLiteral("message")),
              QStringLiteral("The selected text exceeds 5000 characters. Please select a smaller portion for "
                             "better translation results."));
    EXPECT_EQ(manager->view()->alertMessage(), m_posted.at(0).userInfo.value(QStringLiteral("message")));
    runQueuedWork(300);
    EXPECT_EQ(m_posted.size(), 1);
}

// A tray hosted over D-Bus reports no icon place: the translator opens at the click, towards the screen's
// middle from the panel, whole on the monitor that was clicked.
TEST(MenuBarTrayClick, WithoutAnIconPlaceTheTranslatorOpensAtTheClickWholeOnThatMonitor) {
    const QRect left(0, 0, 1920, 1080);
    const QRect right(1920, 0, 1280, 1024);
    const QSize content(400, 500);
    const struct {
        QPoint pointer;
        QRect screen;
        PopoverWindow::Edge edge;
        QRect expected;
    } cases[] = {
        // Panel at the top: below the click, slid in from the screen's right edge.
        {{1900, 12}, left, PopoverWindow::Edge::Bottom, {1520, 13, 400, 500}},
        // Panel at the bottom: above the click.
        {{960, 1066}, left, PopoverWindow::Edge::Top, {761, 566, 400, 500}},
        // On the second monitor, whole on it.
        {{3190, 1010}, right, PopoverWindow::Edge::Top, {2800, 510, 400, 500}},
        {{1930, 5}, right, PopoverWindow::Edge::Bottom, {1920, 6, 400, 500}},
    };
    for (const auto& c : cases) {
        const MenuBarManager::ClickAnchor anchor = MenuBarManager::anchorAtClick(c.pointer, c.screen);
        EXPECT_EQ(anchor.edge, c.edge) << c.pointer.x() << "," << c.pointer.y();
        const PopoverWindow::Placement placement = PopoverWindow::place(content, anchor.rect, c.screen, anchor.edge, false);
        EXPECT_EQ(placement.frame, c.expected) << c.pointer.x() << "," << c.pointer.y();
        EXPECT_TRUE(c.screen.contains(placement.frame));
    }
}

// An icon embedded in a tray: its menu opens beside it, clear of it, whole on the icon's monitor.
TEST(MenuBarTrayClick, TheTrayMenuOpensBesideTheIcon) {
    const QRect left(0, 0, 1920, 1080);
    const QRect right(1920, 0, 1280, 1024);
    const QSize menu(180, 120);
    const struct {
        QRect icon;
        QRect screen;
        QPoint expected;
    } cases[] = {
        // Tray at the top: below the icon, slid in from the screen's right edge.
        {{1896, 0, 24, 24}, left, {1740, 24}},
        // Tray at the bottom: above the icon.
        {{600, 1056, 24, 24}, left, {600, 936}},
        // On the second monitor.
        {{3176, 1000, 24, 24}, right, {3020, 880}},
        {{1920, 0, 24, 24}, right, {1920, 24}},
    };
    for (const auto& c : cases) {
        const QPoint at = MenuBarManager::trayMenuPosition(c.icon, menu, c.screen);
        EXPECT_EQ(at, c.expected) << c.icon.x() << "," << c.icon.y();
        EXPECT_FALSE(QRect(at, menu).intersects(c.icon));
        EXPECT_TRUE(c.screen.contains(QRect(at, menu)));
    }
}

TEST_F(MenuBarManagerTest, TrayMenuEntriesAboutWithATaskbarPresenceAndTheSameEntriesOnTheHeader) {
    FakeActivationPolicy& policy = fakePlatform().fakeActivationPolicy();
    policy.setPolicy(ActivationPolicy::Policy::Accessory);
    auto manager = make(false);
    int abouts = 0;
    manager->setAboutHandler([&abouts] { ++abouts; });
    const auto shownTitles = [&manager] {
        QStringList titles;
        for (const QAction* action : manager->rightClickMenu()->actions()) {
            if (action->isVisible())
                titles.append(action->isSeparator() ? QStringLiteral("-") : action->text());
        }
        return titles;
    };
    EXPECT_EQ(shownTitles(), (QStringList{"Settings", "Check for Updates", "-", "Quit"}));
    policy.setPolicy(ActivationPolicy::Policy::Regular);
    EXPECT_EQ(shownTitles(), (QStringList{"About Quillora", "-", "Settings", "Check for Updates", "-", "Quit"}));
    manager->aboutAction()->trigger();
    EXPECT_EQ(abouts, 1);
    policy.setPolicy(ActivationPolicy::Policy::Accessory);
    EXPECT_FALSE(manager->aboutAction()->isVisible());

    // A right click on the translator's header offers the tray menu's entries, and closing the translator
    // takes that menu with it.
    manager->showPopover();
    QWidget* header = manager->view()->header();
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(10, 10), header->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(header, &click);
    QPointer<QMenu> headerMenu = header->findChild<QMenu*>();
    ASSERT_TRUE(headerMenu);
    EXPECT_EQ(headerMenu->actions(), manager->rightClickMenu()->actions());
    EXPECT_TRUE(waitUntil([&] { return headerMenu->isVisible(); }));
    manager->requestClose(MenuBarManager::CloseReason::StatusItemClick);
    EXPECT_FALSE(manager->isPopoverShown());
    EXPECT_TRUE(!headerMenu || !headerMenu->isVisible());

    // The keys an entry shows act while its menu is open and holds the keyboard, and close the menu, also
    // in the header's copy of the tray menu (the end-to-end road presses them in the tray's).
    record({Notifications::OpenSettingsWindow});
    manager->showPopover();
    QApplication::sendEvent(header, &click);
    // The newest: the one closed before may not be gone yet.
    QPointer<QMenu> menu = header->findChildren<QMenu*>().last();
    ASSERT_TRUE(waitUntil([&] { return menu && menu->isVisible(); }));
    QTest::keyClick(menu, Qt::Key_Comma, Qt::ControlModifier);
    EXPECT_EQ(m_posted.size(), 1);
    EXPECT_TRUE(!menu || !menu->isVisible());

    // So does the rewrite menu, when Escape closes the translator.
    MenuBarView::setHistoryRecorder({});
    manager->showPopover();
    MenuBarView& view = *manager->view();
    view.handleLoadTranslation({{QStringLiteral("sourceText"), QStringLiteral("hello")},
                                {QStringLiteral("translatedText"), QStringLiteral("merhaba")},
                                {QStringLiteral("sourceLanguageCode"), QStringLiteral("en")},
                                {QStringLiteral("targetLanguageCode"), QStringLiteral("tr")},
                                {QStringLiteral("serviceRawValue"), QStringLiteral("gemini")}});
    QTest::mouseClick(view.actionBar()->rewriteButton(), Qt::LeftButton);
    ASSERT_TRUE(view.actionBar()->rewriteOptions()->isShown());
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&view, &escape);
    EXPECT_FALSE(manager->isPopoverShown());
    EXPECT_FALSE(view.actionBar()->rewriteOptions()->isShown());
    MenuBarView::resetHistoryRecorder();
}

#include "FakePlatform.h"
#include "TestUtils.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/UserDefaults.h"
#include "selection/ExcludedAppsManager.h"
#include "settings/AboutTabView.h"
#include "settings/FloatingBarTabView.h"
#include "settings/GeneralTabView.h"
#include "settings/SettingsManager.h"
#include "settings/SettingsTabBar.h"
#include "settings/SettingsView.h"
#include "settings/SettingsWindowManager.h"
#include "settings/ShortcutsTabView.h"
#include "settings/TabContentView.h"
#include "settings/ToggleSettingView.h"
#include "settings/ToggleSwitch.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {

void postOpen() {
    NotificationCenter::shared().post(Notifications::OpenSettingsWindow);
}

QList<SettingsView*> settingsWindows() {
    QList<SettingsView*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* view = qobject_cast<SettingsView*>(widget); view && view->isVisible())
            windows.append(view);
    }
    return windows;
}

// Records the names of the given notifications in the order they arrive.
class NotificationLog {
public:
    explicit NotificationLog(const QStringList& names) {
        for (const QString& name : names) {
            NotificationCenter::shared().addObserver(name, &m_context, [this, name](const QVariantMap& info) {
                m_entries.append(info.isEmpty() ? name
                                                : name + QLatin1Char(' ') +
                                                      info.value(QStringLiteral("value")).toString());
            });
        }
    }
    const QStringList& entries() const { return m_entries; }

private:
    QObject m_context;
    QStringList m_entries;
};

class SettingsWindowTest : public ::testing::Test {
protected:
    void SetUp() override { SettingsManager::shared(); }
    void TearDown() override {
        for (SettingsView* window : settingsWindows())
            window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

} // namespace

TEST_F(SettingsWindowTest, OneWindowWhateverTheRequests) {
    SettingsWindowManager manager;
    // Requests in quick succession, from any poster: one window.
    postOpen();
    postOpen();
    ASSERT_TRUE(waitUntil([&] { return manager.settingsWindow() != nullptr; }));
    runQueuedWork();
    ASSERT_EQ(settingsWindows().size(), 1);
    SettingsView* first = manager.settingsWindow();
    EXPECT_EQ(first->windowTitle(), QStringLiteral("Ayarlar"));
    // The view is shown whole: the window is exactly the view's size, not a smaller, clipped content.
    EXPECT_EQ(first->size(), QSize(700, 550));
    EXPECT_EQ(first->minimumSize(), first->maximumSize());

    // Minimised, the same window comes back instead of a second one.
    first->showMinimized();
    ASSERT_TRUE(waitUntil([&] { return first->isMinimized(); }));
    postOpen();
    ASSERT_TRUE(waitUntil([&] { return !first->isMinimized(); }));
    EXPECT_EQ(manager.settingsWindow(), first);
    EXPECT_EQ(settingsWindows().size(), 1);
    EXPECT_GE(fakePlatform().fakeActivationPolicy().activations, 2);

    // After closing, a fresh window with a fresh view on its first tab; the closed one is forgotten.
    first->setSelectedTab(SettingsView::About);
    QPointer<SettingsView> closed = first;
    first->close();
    postOpen();
    ASSERT_TRUE(waitUntil([&] { return manager.settingsWindow() && manager.settingsWindow() != closed; }));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closed.isNull());
    EXPECT_EQ(manager.settingsWindow()->selectedTab(), SettingsView::General);
    EXPECT_EQ(settingsWindows().size(), 1);
}

TEST_F(SettingsWindowTest, TabRowSelectsAndRebuildsEachTab) {
    SettingsView view;
    view.show();
    SettingsTabBar* bar = view.tabBar();
    // The row is as high as its frame, so its buttons sit whole inside; content takes the rest.
    EXPECT_EQ(bar->QWidget::height(), 56);
    EXPECT_EQ(bar->QWidget::height() + view.content()->height(), 550);
    ASSERT_EQ(bar->buttons().size(), 4);
    for (SettingsTabButton* button : bar->buttons()) {
        EXPECT_GE(button->geometry().top(), 0);
        EXPECT_LE(button->geometry().bottom(), bar->QWidget::height() - 1);
    }

    struct Case {
        int tab;
        const char* title;
        std::function<bool(QWidget*)> isExpectedView;
    };
    int shortcutsMade = 0;
    SettingsView::setShortcutsTabFactory([&] {
        ++shortcutsMade;
        return new QLabel(QStringLiteral("recorders"));
    });
    const QList<Case> cases = {
        {SettingsView::FloatingBar, "Floating Bar",
         [](QWidget* w) { return qobject_cast<FloatingBarTabView*>(w); }},
        {SettingsView::Shortcuts, "Shortcuts", [](QWidget* w) { return qobject_cast<QLabel*>(w); }},
        {SettingsView::About, "About", [](QWidget* w) { return qobject_cast<AboutTabView*>(w); }},
        {SettingsView::General, "General", [](QWidget* w) { return qobject_cast<GeneralTabView*>(w); }},
    };
    EXPECT_TRUE(qobject_cast<GeneralTabView*>(view.content()->tabView()));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        QPointer<TabContentView> previous = view.content();
        previous->verticalScrollBar()->setValue(previous->verticalScrollBar()->maximum());
        QTest::mouseClick(bar->buttons()[c.tab], Qt::LeftButton);
        EXPECT_EQ(view.selectedTab(), c.tab);
        EXPECT_EQ(bar->buttons()[c.tab]->text(), QString::fromLatin1(c.title));
        for (int i = 0; i < bar->buttons().size(); ++i)
            EXPECT_EQ(bar->buttons()[i]->isSelected(), i == c.tab);
        // A new content area, scrolled to the top, with the tab's view.
        EXPECT_NE(view.content(), previous.data());
        EXPECT_EQ(view.content()->verticalScrollBar()->value(), 0);
        EXPECT_TRUE(c.isExpectedView(view.content()->tabView()));
        EXPECT_TRUE(view.content()->tabView()->isVisible());
    }
    EXPECT_EQ(shortcutsMade, 1);

    view.setSelectedTab(7);
    EXPECT_EQ(view.content()->tabView(), nullptr);
    for (SettingsTabButton* button : bar->buttons())
        EXPECT_FALSE(button->isSelected());
    SettingsView::setShortcutsTabFactory({});
}

// At the window's fixed 700 x 550 each tab is shown whole: nothing to scroll to and no scroll bar.
TEST_F(SettingsWindowTest, EveryTabIsShownWholeWithoutScrollBars) {
    ExcludedAppsManager::saveExcludedApps(
        {QStringLiteral("org.example.One"), QStringLiteral("org.example.Two"), QStringLiteral("org.example.Three")});
    SettingsView::setShortcutsTabFactory([] { return new ShortcutsTabView; });
    SettingsView view;
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    for (const int tab : {SettingsView::General, SettingsView::FloatingBar, SettingsView::Shortcuts,
                          SettingsView::About}) {
        SCOPED_TRACE(tab);
        view.setSelectedTab(tab);
        TabContentView* content = view.content();
        QCoreApplication::processEvents();
        EXPECT_EQ(content->verticalScrollBar()->maximum(), 0)
            << content->widget()->sizeHint().height() << " in " << content->viewport()->height();
        EXPECT_FALSE(content->verticalScrollBar()->isVisible());
        EXPECT_FALSE(content->horizontalScrollBar()->isVisible());
    }
    SettingsView::setShortcutsTabFactory({});
    ExcludedAppsManager::saveExcludedApps({});
}

TEST_F(SettingsWindowTest, ResetAlertAsksFirstAndResetsInOrder) {
    UserDefaults& defaults = UserDefaults::standard();
    // Posting while no settings view exists does nothing.
    NotificationCenter::shared().post(Notifications::ShowResetAlert);
    for (QWidget* widget : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<QMessageBox*>(widget));

    SettingsView view;
    view.show();
    auto* general = qobject_cast<GeneralTabView*>(view.content()->tabView());
    ASSERT_TRUE(general);
    defaults.set(QStringLiteral("alwaysOnTop"), true);
    defaults.set(QStringLiteral("showInDock"), false);
    defaults.set(QStringLiteral("checkForUpdatesAutomatically"), false);
    defaults.set(QStringLiteral("interfaceLanguage"), QStringLiteral("tr"));
    runQueuedWork();

    // The General tab's button asks; asking twice leaves one alert. Cancel touches nothing.
    QTest::mouseClick(general->resetButton(), Qt::LeftButton);
    QMessageBox* alert = view.resetAlert();
    ASSERT_TRUE(alert);
    NotificationCenter::shared().post(Notifications::ShowResetAlert);
    EXPECT_EQ(view.resetAlert(), alert);
    EXPECT_EQ(view.findChildren<QMessageBox*>().size(), 1);
    EXPECT_EQ(alert->informativeText(),
              QStringLiteral("This will reset all settings to their default values."));
    alert->button(QMessageBox::Cancel)->click();
    ASSERT_TRUE(waitUntil([&] { return view.resetAlert() == nullptr; }));
    EXPECT_TRUE(defaults.boolean(QStringLiteral("alwaysOnTop")));
    EXPECT_EQ(defaults.string(QStringLiteral("interfaceLanguage")), QStringLiteral("tr"));

    NotificationLog log({Notifications::AlwaysOnTopChanged, Notifications::LanguageChanged,
                         Notifications::SettingsReset, Notifications::DockIconVisibilityChanged});
    view.presentResetAlert();
    ASSERT_TRUE(view.resetAlert());
    view.resetAlert()->findChild<QPushButton*>(QStringLiteral("reset"))->click();
    ASSERT_TRUE(waitUntil([&] { return log.entries().size() >= 5; }));
    // The tab follows the reset values and runs its change actions; the store announces the reset.
    EXPECT_EQ(log.entries(),
              QStringList({QStringLiteral("AlwaysOnTopChanged false"), Notifications::LanguageChanged,
                           Notifications::SettingsReset, QStringLiteral("DockIconVisibilityChanged true"),
                           QStringLiteral("DockIconVisibilityChanged true")}));
    EXPECT_FALSE(defaults.boolean(QStringLiteral("alwaysOnTop")));
    EXPECT_TRUE(defaults.boolean(QStringLiteral("showInDock")));
    EXPECT_TRUE(defaults.boolean(QStringLiteral("launchAtLogin")));
    EXPECT_TRUE(defaults.boolean(QStringLiteral("checkForUpdatesAutomatically")));
    EXPECT_EQ(defaults.string(QStringLiteral("interfaceLanguage")), QStringLiteral("en"));
    EXPECT_TRUE(fakePlatform().fakeLoginItem().enabled);
    EXPECT_EQ(fakePlatform().fakeActivationPolicy().current, ActivationPolicy::Policy::Regular);
    EXPECT_FALSE(general->alwaysOnTopRow()->toggle()->isChecked());
    EXPECT_TRUE(general->showInDockRow()->toggle()->isChecked());

    // A login item that cannot be written: the reset keeps the chosen setting and says why.
    FakeLoginItem& login = fakePlatform().fakeLoginItem();
    login.succeeds = false;
    login.enabled = false;
    defaults.set(QStringLiteral("launchAtLogin"), false);
    if (general->failureAlert())
        general->failureAlert()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(general->failureAlert());
    view.resetAllSettings();
    EXPECT_TRUE(defaults.boolean(QStringLiteral("launchAtLogin")));
    EXPECT_TRUE(general->launchAtLoginRow()->toggle()->isChecked());
    EXPECT_FALSE(login.enabled);
    ASSERT_TRUE(general->failureAlert());
    EXPECT_TRUE(general->failureAlert()->isVisible());
}

// Screenshots of the settings window: each tab, the application picker and the reset alert, in light and
// dark appearance. Runs only when QUILLORA_SCREENSHOT_DIR names where to save them;
// tests/screenshots/take.sh settings does that under Xvfb.
#include "FakePlatform.h"
#include "ScreenshotTest.h"
#include "TestUtils.h"
#include "app/UpdateManager.h"
#include "platform/UserDefaults.h"
#include "platform/x11/X11Platform.h"
#include "selection/ExcludedAppsManager.h"
#include "settings/AppSelectorView.h"
#include "settings/FloatingBarTabView.h"
#include "settings/SettingsView.h"
#include "settings/SettingsWindowManager.h"
#include "settings/ShortcutsTabView.h"
#include "settings/TabContentView.h"
#include "ui/Theme.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <algorithm>
#include <QScreen>
#include <QScrollBar>
#include <gtest/gtest.h>

namespace {

RunningApplication app(const char* id, const char* name) {
    RunningApplication running;
    running.bundleIdentifier = QString::fromLatin1(id);
    running.localizedName = QString::fromUtf8(name);
    return running;
}

class SettingsScreenshots : public ScreenshotTest {
protected:
    void SetUp() override {
        ScreenshotTest::SetUp();
        if (IsSkipped())
            return;
        SettingsView::setShortcutsTabFactory([] { return new ShortcutsTabView; });
        // As the application wires them, so that the General tab shows its update controls live.
        UpdateChecks::install(&UpdateManager::shared());
        FakeWorkspace& workspace = fakePlatform().fakeWorkspace();
        workspace.running = {app("xterm", "XTerm"),
                             app("org.gnome.TextEditor", "Text Editor"),
                             app("firefox-esr", "Web Browser"),
                             app("vim", "Vim"),
                             app("org.gnome.Nautilus", "Files"),
                             app("python3.11", "Python (v3.11)")};
        workspace.icons.insert(QStringLiteral("xterm"),
                               QIcon::fromTheme(QStringLiteral("utilities-terminal")));
        workspace.icons.insert(QStringLiteral("org.gnome.TextEditor"),
                               QIcon::fromTheme(QStringLiteral("accessories-text-editor")));
        workspace.icons.insert(QStringLiteral("org.gnome.Nautilus"),
                               QIcon::fromTheme(QStringLiteral("system-file-manager")));
        UserDefaults::standard().set(QStringLiteral("excludedApps"),
                                     QStringLiteral("xterm,org.gnome.TextEditor,com.example.Removed"));
    }
    void TearDown() override {
        ScreenshotTest::TearDown();
        SettingsView::setShortcutsTabFactory({});
    }

    void shoot(const QString& name, QWidget* window) { ScreenshotTest::shoot(name, window->frameGeometry()); }
};

} // namespace

TEST_F(SettingsScreenshots, TabsPickerAndResetAlert) {
    const QStringList names = {QStringLiteral("general"), QStringLiteral("floatingbar"),
                               QStringLiteral("shortcuts"), QStringLiteral("about")};
    for (bool dark : {false, true}) {
        setDark(dark);
        ASSERT_EQ(Theme::dark(), dark);
        const QString mode = dark ? QStringLiteral("-dark") : QStringLiteral("-light");
        SettingsWindowManager manager;
        manager.showSettingsWindow();
        SettingsView* view = manager.settingsWindow();
        ASSERT_TRUE(view);
        for (int tab = 0; tab < names.size(); ++tab) {
            view->setSelectedTab(tab);
            shoot(names[tab] + mode, view);
        }

        view->setSelectedTab(SettingsView::FloatingBar);
        runQueuedWork();
        QScrollBar* scroll = view->content()->verticalScrollBar();
        scroll->setValue(scroll->maximum());
        shoot(QStringLiteral("floatingbar-bottom") + mode, view);
        auto* floatingBar = qobject_cast<FloatingBarTabView*>(view->content()->tabView());
        ASSERT_TRUE(floatingBar);
        floatingBar->presentAppSelector();
        ASSERT_TRUE(waitUntil(
            [&] { return floatingBar->appSelectorSheet() && floatingBar->appSelectorSheet()->isVisible(); }));
        shoot(QStringLiteral("picker") + mode, floatingBar->appSelectorSheet());
        floatingBar->appSelector()->searchField()->setText(QStringLiteral("te"));
        shoot(QStringLiteral("picker-search") + mode, floatingBar->appSelectorSheet());
        floatingBar->appSelectorSheet()->close();

        view->setSelectedTab(SettingsView::General);
        view->presentResetAlert();
        ASSERT_TRUE(waitUntil([&] { return view->resetAlert() && view->resetAlert()->isVisible(); }));
        shoot(QStringLiteral("reset-alert") + mode, view);
        view->resetAlert()->close();
        view->close();
        runQueuedWork();
    }
}

// The picker over the desktop's own workspace: running X clients named and iconed from their desktop
// entries, and the excluded list naming them the same way.
TEST_F(SettingsScreenshots, PickerOverTheRealWorkspace) {
    installPlatform(std::make_unique<X11Platform>());
    QProcess xterm;
    xterm.start(QStringLiteral("xterm"), {QStringLiteral("-geometry"), QStringLiteral("40x5+0+0")});
    ASSERT_TRUE(xterm.waitForStarted());
    QProcess mousepad;
    mousepad.start(QStringLiteral("mousepad"), {});
    ASSERT_TRUE(mousepad.waitForStarted());
    for (const QString& windowClass : {QStringLiteral("xterm"), QStringLiteral("mousepad")}) {
        ASSERT_TRUE(waitUntil(
            [&] {
                return runTool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                           QStringLiteral("--class"), windowClass})
                    .has_value();
            },
            20000))
            << windowClass.toStdString();
    }
    ExcludedAppsManager::saveExcludedApps({});
    SettingsWindowManager manager;
    manager.showSettingsWindow();
    SettingsView* view = manager.settingsWindow();
    view->setSelectedTab(SettingsView::FloatingBar);
    auto* floatingBar = qobject_cast<FloatingBarTabView*>(view->content()->tabView());
    ASSERT_TRUE(floatingBar);
    for (const QString& name : {QStringLiteral("XTerm"), QStringLiteral("Mousepad")}) {
        floatingBar->presentAppSelector();
        ASSERT_TRUE(waitUntil(
            [&] { return floatingBar->appSelector() && !floatingBar->appSelector()->runningApps().isEmpty(); }));
        if (name == QLatin1String("XTerm"))
            shoot(QStringLiteral("picker-x11"), floatingBar->appSelectorSheet());
        const QList<RunningApp> apps = floatingBar->appSelector()->runningApps();
        const auto it = std::find_if(apps.cbegin(), apps.cend(), [&](const RunningApp& a) { return a.name == name; });
        ASSERT_NE(it, apps.cend()) << name.toStdString();
        floatingBar->appSelector()->rowButtons().at(int(it - apps.cbegin()))->click();
        runQueuedWork();
    }
    view->content()->verticalScrollBar()->setValue(view->content()->verticalScrollBar()->maximum());
    shoot(QStringLiteral("floatingbar-x11"), view);
    view->close();
    ExcludedAppsManager::saveExcludedApps({});
    xterm.terminate();
    xterm.waitForFinished(3000);
    mousepad.terminate();
    mousepad.waitForFinished(3000);
}

// The Shortcuts tab of the real binary, as a user meets it: a shortcut recorded by pressing it in the
// settings window, then pressed while another application has the keyboard, before and after a restart.
#include "AppUnderTest.h"
#include "DevApiServer.h"
#include "TestUtils.h"
#include "TextWindowProcess.h"
#include "keyboardshortcuts/KeyboardShortcuts.h"
#include "keyboardshortcuts/Recorder.h"
#include "settings/SettingsTabBar.h"
#include "settings/SettingsView.h"
#include "settings/ShortcutsTabView.h"
#include "settings/TabContentView.h"

#include <gtest/gtest.h>

namespace {

bool xdo(const QStringList& arguments) {
    return runTool(QStringLiteral("xdotool"), arguments).has_value();
}

bool clickAt(QPoint p, int button = 1) {
    return xdo({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())}) &&
           (spinFor(100), xdo({QStringLiteral("click"), QString::number(button)}));
}

// The menu-bar popover the toggle shortcut opens: a window of the app 400 wide (plus its margins),
// narrower than the settings window.
bool popoverShown(const AppUnderTest& app) {
    for (quint32 id : app.windows()) {
        const std::optional<QRect> frame = AppUnderTest::windowGeometry(id);
        if (frame && frame->width() >= 400 && frame->width() < 700)
            return true;
    }
    return false;
}

std::optional<QRect> trayIcon(const AppUnderTest& app) {
    for (quint32 id : app.windows()) {
        const std::optional<QRect> frame = AppUnderTest::windowGeometry(id);
        if (frame && frame->width() <= 48 && frame->height() <= 48 && frame->top() < 48)
            return frame;
    }
    return std::nullopt;
}

// The client area's top-left corner on the screen, as the X server has it.
std::optional<QPoint> clientOrigin(quint32 window) {
    const std::optional<QByteArray> info =
        runTool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)});
    if (!info)
        return std::nullopt;
    std::optional<int> x;
    std::optional<int> y;
    for (const QByteArray& line : info->split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith("Absolute upper-left X:"))
            x = trimmed.mid(trimmed.indexOf(':') + 1).trimmed().toInt();
        else if (trimmed.startsWith("Absolute upper-left Y:"))
            y = trimmed.mid(trimmed.indexOf(':') + 1).trimmed().toInt();
    }
    if (!x || !y)
        return std::nullopt;
    return QPoint(*x, *y);
}

// Activates `window` until the window manager reports it active, so that keys go there.
bool waitForActiveWindow(quint32 window) {
    const QString id = QString::number(window);
    return waitUntil(
        [&] {
            xdo({QStringLiteral("windowactivate"), QStringLiteral("--sync"), id});
            return runTool(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")})
                       .value_or(QByteArray())
                       .trimmed() == id.toLatin1();
        },
        20000);
}

// Where the Shortcuts tab and the first recorder are inside the settings window: the same view laid out
// here, off screen, with the same fonts.
struct SettingsLayout {
    QPoint shortcutsTab;
    QPoint firstRecorder;
};

SettingsLayout settingsLayout() {
    SettingsView::setShortcutsTabFactory([] { return new ShortcutsTabView; });
    SettingsView view;
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.show();
    view.setSelectedTab(SettingsView::Shortcuts);
    QCoreApplication::processEvents();
    SettingsLayout layout;
    QWidget* tab = view.tabBar()->buttons()[SettingsView::Shortcuts];
    layout.shortcutsTab = tab->mapTo(&view, tab->rect().center());
    auto* shortcuts = qobject_cast<ShortcutsTabView*>(view.content()->tabView());
    QWidget* recorder = shortcuts->recorders().first();
    layout.firstRecorder = recorder->mapTo(&view, recorder->rect().center());
    return layout;
}

} // namespace

TEST(ShortcutsRoad, RecordedInTheTabAndPressedFromAnotherApplicationBeforeAndAfterARestart) {
    const SettingsLayout layout = settingsLayout();
    DevApiServer api;
    ASSERT_TRUE(api.start());
    AppUnderTest app;
    ASSERT_TRUE(app.start(&api));
    const auto failure = qScopeGuard([&] {
        if (::testing::Test::HasFailure()) {
            AppUnderTest::saveScreenshot(QStringLiteral("shortcuts-road-failure"));
            std::fprintf(stderr, "The app's log:\n%s\n", qPrintable(app.log()));
        }
    });

    // The settings window opens from the tray icon's menu; a build without the tray has no road to it.
    std::optional<QRect> icon;
    if (!waitUntil([&] { return (icon = trayIcon(app)).has_value(); }, 20000))
        GTEST_SKIP() << "no tray icon to open the settings from";
    ASSERT_TRUE(
        app.chooseFromTrayMenu(icon->center(), AppUnderTest::trayMenuEnd, QStringLiteral("Settings")));
    const std::optional<quint32> window = app.waitForWindow(QStringLiteral("^Ayarlar$"));
    ASSERT_TRUE(window);
    ASSERT_TRUE(xdo({QStringLiteral("windowmove"), QString::number(*window), QStringLiteral("850"),
                     QStringLiteral("380")}));
    // Where the window manager put its client area: the same place twice in a row.
    std::optional<QPoint> origin;
    std::optional<QPoint> previous;
    ASSERT_TRUE(waitUntil([&] {
        previous = origin;
        origin = clientOrigin(*window);
        spinFor(100);
        return origin && previous == origin && origin->x() >= 800;
    }));

    // Record: click the Show/Hide MenuBar field and press the combination, with the keyboard there. The
    // tab's content is drawn (and laid out) before the next click goes into it.
    ASSERT_TRUE(waitForActiveWindow(*window));
    const QRect content(0, SettingsTabBar::barHeight, SettingsView::viewWidth,
                        SettingsView::viewHeight - SettingsTabBar::barHeight);
    ASSERT_TRUE(AppUnderTest::clickAndWaitForChange(*window, *origin + layout.shortcutsTab, content));
    ASSERT_TRUE(clickAt(*origin + layout.firstRecorder));
    ASSERT_TRUE(xdo({QStringLiteral("key"), QStringLiteral("ctrl+alt+m")}));
    const KeyboardShortcuts::Shortcut recorded(KeyboardShortcuts::Key::m,
                                               KeyboardShortcuts::Modifier::control |
                                                   KeyboardShortcuts::Modifier::option);
    ASSERT_TRUE(waitUntil([&] {
        return KeyboardShortcuts::Shortcut::fromJson(
                   app.setting(QStringLiteral("KeyboardShortcuts_toggleMenuBar")).toString()) == recorded;
    }));

    // Press it while another application has the keyboard.
    TextWindowProcess other(QStringLiteral(QUILLORA_TEST_TEXTWINDOW_PATH));
    ASSERT_TRUE(other.start({QStringLiteral("--text"), QStringLiteral("another application")}));
    ASSERT_TRUE(waitForActiveWindow(other.windowId()));
    const QString pressed = QStringLiteral("[KeyboardShortcuts] ⌨️ hot key ⌃⌥M pressed");
    ASSERT_FALSE(popoverShown(app));
    const qsizetype before = app.log().size();
    ASSERT_TRUE(xdo({QStringLiteral("key"), QStringLiteral("ctrl+alt+m")}));
    EXPECT_GE(app.waitForLog(pressed, 10000, before), 0);
    EXPECT_TRUE(waitUntil([&] { return popoverShown(app); })) << "the toggle action opens the popover";

    // After a restart the stored shortcut works again.
    ASSERT_EQ(app.stop(), 0);
    // The hot keys are in place with the full setup.
    ASSERT_TRUE(app.start(&api, 30000, AppUnderTest::fullSetupLine));
    const qsizetype restarted = app.log().size();
    ASSERT_TRUE(xdo({QStringLiteral("key"), QStringLiteral("ctrl+alt+m")}));
    EXPECT_GE(app.waitForLog(pressed, 10000, restarted), 0);
    EXPECT_TRUE(waitUntil([&] { return popoverShown(app); }));
    EXPECT_EQ(app.stop(), 0);
}

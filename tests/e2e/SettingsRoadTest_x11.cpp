// The settings window of the real binary, as a user meets it: opened from the tray icon's menu, the
// floating bar switched off (a selection in another X client shows no bar) and on again (it shows); then a
// shortcut recorded in the Shortcuts tab by pressing it, and pressed while another application has the
// keyboard, before and after a restart.
#include "AppRoad.h"
#include "Desktop.h"
#include "TestUtils.h"
#include "TextWindowProcess.h"
#include "keyboardshortcuts/KeyboardShortcuts.h"
#include "keyboardshortcuts/Recorder.h"
#include "settings/FloatingBarTabView.h"
#include "settings/SettingsTabBar.h"
#include "settings/SettingsView.h"
#include "settings/ShortcutsTabView.h"
#include "settings/TabContentView.h"
#include "settings/ToggleSettingView.h"
#include "settings/ToggleSwitch.h"

#include <gtest/gtest.h>

namespace {

// Where, inside the settings window, the tabs this road uses are: the same view laid out here, off screen,
// with the same fonts.
struct SettingsLayout {
    QPoint floatingBarTab;
    QPoint shortcutsTab;
};

SettingsLayout settingsLayout() {
    SettingsView::setShortcutsTabFactory([] { return new ShortcutsTabView; });
    SettingsView view;
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.show();
    const auto centreOf = [&view](QWidget* widget) { return widget->mapTo(&view, widget->rect().center()); };
    SettingsLayout layout;
    view.setSelectedTab(SettingsView::FloatingBar);
    QCoreApplication::processEvents();
    layout.floatingBarTab = centreOf(view.tabBar()->buttons()[SettingsView::FloatingBar]);
    layout.shortcutsTab = centreOf(view.tabBar()->buttons()[SettingsView::Shortcuts]);
    return layout;
}

class SettingsRoad : public AppRoad {
protected:
    // Double-clicks the word at `offset` in the client's line edit; waits until it is PRIMARY.
    void selectWord(const TextWindowProcess& client, int offset, const QByteArray& word) {
        const QRect field = client.lineEditGeometry();
        ASSERT_TRUE(Desktop::clickAt(field.topLeft() + QPoint(offset, field.height() / 2), 1, 2));
        ASSERT_TRUE(waitUntil([&] { return Desktop::selection(QStringLiteral("primary")) == word; }));
    }
    // Clicks a tab and waits until the app painted `control` in its content: laid out, ready for a click.
    std::optional<QPoint> openTab(QPoint tab, const QString& control) {
        const qsizetype before = m_app.log().size();
        if (!Desktop::clickAt(tab))
            return std::nullopt;
        const std::optional<QRect> place = m_app.waitForPlace(control, before);
        return place ? std::optional<QPoint>(place->center()) : std::nullopt;
    }
    bool waitForStored(const char* key, const char* value) {
        return waitUntil([&] { return m_app.setting(QLatin1String(key)).toString() == QLatin1String(value); });
    }
};

} // namespace

TEST_F(SettingsRoad, FloatingBarSwitchedOffAndOnThenAShortcutRecordedAndPressedAcrossARestart) {
    const SettingsLayout layout = settingsLayout();
    ASSERT_TRUE(m_app.start(&m_api, 30000, AppUnderTest::fullSetupLine));
    TextWindowProcess client(QStringLiteral(QUILLORA_TEST_TEXTWINDOW_PATH));
    ASSERT_TRUE(client.start({QStringLiteral("--text"), QStringLiteral("quillora there")}));

    const std::optional<SettingsWindow> window = openSettingsFromTray();
    ASSERT_TRUE(window);
    const std::optional<QRect> frame = AppUnderTest::windowGeometry(window->id);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->size(), QSize(700, 550));

    const std::optional<QPoint> toggle =
        openTab(window->origin + layout.floatingBarTab, QStringLiteral("show floating bar switch"));
    ASSERT_TRUE(toggle);
    ASSERT_TRUE(Desktop::clickAt(*toggle));
    ASSERT_TRUE(waitForStored("showFloatingBar", "false"));

    // The word is selected, so the app had something to show a bar for.
    selectWord(client, 14, "quillora");
    EXPECT_TRUE(Desktop::holdsFor([&] { return m_app.windows(AppUnderTest::floatingBarWindow).isEmpty(); }, 2500))
        << "a bar while switched off";

    ASSERT_TRUE(Desktop::clickAt(*toggle));
    ASSERT_TRUE(waitForStored("showFloatingBar", "true"));
    selectWord(client, 70, "there");
    EXPECT_TRUE(m_app.waitForWindow(AppUnderTest::floatingBarWindow)) << "no bar once switched on";

    // Record: click the Show/Hide MenuBar field and press the combination, with the keyboard there.
    ASSERT_TRUE(Desktop::waitForActiveWindow(window->id));
    const std::optional<QPoint> recorder =
        openTab(window->origin + layout.shortcutsTab, QStringLiteral("toggleMenuBar recorder"));
    ASSERT_TRUE(recorder);
    ASSERT_TRUE(Desktop::clickAt(*recorder));
    ASSERT_TRUE(Desktop::xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+m")}));
    const KeyboardShortcuts::Shortcut recorded(KeyboardShortcuts::Key::m,
                                               KeyboardShortcuts::Modifier::control |
                                                   KeyboardShortcuts::Modifier::option);
    ASSERT_TRUE(waitUntil([&] {
        return KeyboardShortcuts::Shortcut::fromJson(
                   m_app.setting(QStringLiteral("KeyboardShortcuts_toggleMenuBar")).toString()) == recorded;
    }));

    // Pressed while another application has the keyboard, it opens the translator.
    ASSERT_TRUE(Desktop::waitForActiveWindow(client.windowId()));
    ASSERT_TRUE(m_app.windows(AppUnderTest::translatorWindow).isEmpty());
    ASSERT_TRUE(Desktop::xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+m")}));
    EXPECT_TRUE(m_app.waitForWindow(AppUnderTest::translatorWindow)) << "the toggle action opens the popover";

    // After a restart the stored shortcut works again; the hot keys are in place with the full setup.
    ASSERT_EQ(m_app.stop(), 0);
    ASSERT_TRUE(m_app.start(&m_api, 30000, AppUnderTest::fullSetupLine));
    ASSERT_TRUE(Desktop::xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+m")}));
    EXPECT_TRUE(m_app.waitForWindow(AppUnderTest::translatorWindow));
    EXPECT_EQ(m_app.stop(), 0);
}

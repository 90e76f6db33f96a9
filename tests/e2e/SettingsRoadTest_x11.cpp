// The settings window of the real binary, as a user meets it: opened from the tray icon's menu, the
// floating bar switched off (a selection in another X client shows no bar) and on again (it shows).
#include "AppUnderTest.h"
#include "DevApiServer.h"
#include "TestUtils.h"
#include "TextWindowProcess.h"
#include "settings/FloatingBarTabView.h"
#include "settings/SettingsTabBar.h"
#include "settings/SettingsView.h"
#include "settings/TabContentView.h"
#include "settings/ToggleSettingView.h"
#include "settings/ToggleSwitch.h"

#include <QGuiApplication>
#include <QStyleHints>
#include <gtest/gtest.h>

namespace {

bool xdo(const QStringList& arguments) {
    return runTool(QStringLiteral("xdotool"), arguments).has_value();
}

QStringList moveTo(QPoint p) {
    return {QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())};
}

bool clickAt(QPoint p, int button = 1) {
    return xdo(moveTo(p)) && (spinFor(100), xdo({QStringLiteral("click"), QString::number(button)}));
}

std::optional<QRect> windowOfSize(const AppUnderTest& app, QSize size) {
    for (quint32 id : app.windows()) {
        const std::optional<QRect> frame = AppUnderTest::windowGeometry(id);
        if (frame && frame->size() == size)
            return frame;
    }
    return std::nullopt;
}

// The app's icon in the tray: a small window of the app along the top edge, where the tray sits.
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
    std::optional<int> x;
    std::optional<int> y;
    for (const QByteArray& line : info.value_or(QByteArray()).split('\n')) {
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

// Where, inside the settings window, the Floating Bar tab and the floating bar's switch are: the same
// view laid out here, off screen, with the same fonts.
struct SettingsLayout {
    QPoint floatingBarTab;
    QPoint showFloatingBarSwitch;
};

SettingsLayout settingsLayout() {
    SettingsView view;
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.show();
    view.setSelectedTab(SettingsView::FloatingBar);
    QCoreApplication::processEvents();
    SettingsLayout layout;
    QWidget* tab = view.tabBar()->buttons()[SettingsView::FloatingBar];
    layout.floatingBarTab = tab->mapTo(&view, tab->rect().center());
    auto* floatingBar = qobject_cast<FloatingBarTabView*>(view.content()->tabView());
    QWidget* toggle = floatingBar->showFloatingBarRow()->toggle();
    layout.showFloatingBarSwitch = toggle->mapTo(&view, toggle->rect().center());
    return layout;
}

class SettingsRoad : public ::testing::Test {
protected:
    void SetUp() override {
        xdo({QStringLiteral("mouseup"), QStringLiteral("1")});
        ASSERT_TRUE(m_api.start());
    }
    void TearDown() override {
        if (HasFailure()) {
            AppUnderTest::saveScreenshot(QStringLiteral("settings-road-failure"));
            std::fprintf(stderr, "The app's log:\n%s\n", qPrintable(m_app.log()));
        }
    }

    // Double-clicks the word at `offset` in the client's line edit.
    void selectWord(const TextWindowProcess& client, int offset) {
        const QRect field = client.lineEditGeometry();
        ASSERT_TRUE(xdo(moveTo(field.topLeft() + QPoint(offset, field.height() / 2)) +
                        QStringList{QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                                    QStringLiteral("--delay"), QStringLiteral("80"), QStringLiteral("1")}));
    }

    DevApiServer m_api;
    AppUnderTest m_app;
};

} // namespace

TEST_F(SettingsRoad, FloatingBarSwitchedOffAndOnFromTheTrayMenusSettings) {
    const SettingsLayout layout = settingsLayout();
    ASSERT_TRUE(m_app.start(&m_api, 30000, AppUnderTest::fullSetupLine));
    TextWindowProcess client(QStringLiteral(QUILLORA_TEST_TEXTWINDOW_PATH));
    ASSERT_TRUE(client.start({QStringLiteral("--text"), QStringLiteral("quillora there")}));

    // The tray icon's menu: its first entry is "Settings".
    std::optional<QRect> icon;
    // A build without the tray has no road to the settings window.
    if (!waitUntil([&] { return (icon = trayIcon(m_app)).has_value(); }, 20000))
        GTEST_SKIP() << "no tray icon to open the settings from";
    ASSERT_TRUE(
        m_app.chooseFromTrayMenu(icon->center(), AppUnderTest::trayMenuEnd, QStringLiteral("Settings")));
    const std::optional<quint32> window = m_app.waitForWindow(QStringLiteral("^Ayarlar$"));
    ASSERT_TRUE(window);
    // Out of the client's way.
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
    const std::optional<QRect> frame = AppUnderTest::windowGeometry(*window);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->size(), QSize(SettingsView::viewWidth, SettingsView::viewHeight));

    // The tab's content is drawn (and laid out) before the next click goes into it.
    const QRect content(0, SettingsTabBar::barHeight, SettingsView::viewWidth,
                        SettingsView::viewHeight - SettingsTabBar::barHeight);
    ASSERT_TRUE(AppUnderTest::clickAndWaitForChange(*window, *origin + layout.floatingBarTab, content));
    ASSERT_TRUE(clickAt(*origin + layout.showFloatingBarSwitch));
    ASSERT_TRUE(waitUntil([&] {
        return m_app.setting(QStringLiteral("showFloatingBar")).toString() == QLatin1String("false");
    }));

    spinFor(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 50);
    selectWord(client, 14);
    // The word is selected (so the app had something to show a bar for), and the app had time to.
    ASSERT_TRUE(waitUntil([] {
        return runTool(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"),
                                                 QStringLiteral("primary")}) == QByteArray("quillora");
    }));
    spinFor(2500);
    EXPECT_FALSE(windowOfSize(m_app, QSize(110, 60)).has_value()) << "a bar while switched off";

    ASSERT_TRUE(clickAt(*origin + layout.showFloatingBarSwitch));
    ASSERT_TRUE(waitUntil([&] {
        return m_app.setting(QStringLiteral("showFloatingBar")).toString() == QLatin1String("true");
    }));
    spinFor(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 50);
    selectWord(client, 70);
    EXPECT_TRUE(waitUntil([&] { return windowOfSize(m_app, QSize(110, 60)).has_value(); }, 20000))
        << "no bar once switched on";
    EXPECT_EQ(m_app.stop(), 0);
}

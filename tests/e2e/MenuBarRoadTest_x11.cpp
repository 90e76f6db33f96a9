// The tray road of the real binary, as a user takes it: a click on the tray icon opens the translator,
// typed text and Return translate it, and "Quit" in the icon's menu ends the application.
#include "AppUnderTest.h"
#include "DevApiServer.h"
#include "TestUtils.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

bool xdotool(const QStringList& arguments) {
    return runTool(QStringLiteral("xdotool"), arguments).has_value();
}

bool clickAt(QPoint point, int button) {
    return xdotool({QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y()),
                    QStringLiteral("sleep"), QStringLiteral("0.1"), QStringLiteral("click"),
                    QString::number(button)});
}

// The first mapped window of the app that `accept` takes.
std::optional<QRect> appWindow(const AppUnderTest& app, const std::function<bool(const QRect&)>& accept) {
    for (quint32 id : app.windows()) {
        const std::optional<QRect> frame = AppUnderTest::windowGeometry(id);
        if (frame && accept(*frame))
            return frame;
    }
    return std::nullopt;
}

bool isTrayIcon(const QRect& frame) {
    return frame.width() <= 48 && frame.height() <= 48 && frame.top() < 48;
}

bool isPopover(const QRect& frame) {
    return frame.width() == 400 && frame.height() > 300;
}

class MenuBarRoad : public ::testing::Test {
protected:
    void SetUp() override {
        xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
        ASSERT_TRUE(m_api.start());
    }
    void TearDown() override {
        if (HasFailure()) {
            AppUnderTest::saveScreenshot(QStringLiteral("menubar-road-failure"));
            std::fprintf(stderr, "The app's log:\n%s\n", qPrintable(m_app.log()));
        }
    }

    // The translations the history holds, newest first, as "source → translation".
    QStringList history() const {
        QStringList pairs;
        const QByteArray stored = m_app.setting(QStringLiteral("translationHistory")).toByteArray();
        for (const QJsonValue& item : QJsonDocument::fromJson(stored).array()) {
            const QJsonObject record = item.toObject();
            pairs.append(record.value("sourceText").toString() + QStringLiteral(" → ") +
                         record.value("translatedText").toString());
        }
        return pairs;
    }

    DevApiServer m_api;
    AppUnderTest m_app;
};

} // namespace

TEST_F(MenuBarRoad, TrayClickTypeReturnReadTheTranslationThenQuitFromTheMenu) {
    m_app.setSetting(QStringLiteral("defaultSourceLanguage"), QStringLiteral("en"));
    m_app.setSetting(QStringLiteral("defaultTargetLanguage"), QStringLiteral("tr"));
    ASSERT_TRUE(m_app.start(&m_api, 30000, AppUnderTest::fullSetupLine));

    std::optional<QRect> icon;
    ASSERT_TRUE(waitUntil([&] { return (icon = appWindow(m_app, isTrayIcon)).has_value(); }, 20000))
        << "no tray icon";
    ASSERT_TRUE(clickAt(icon->center(), 1));
    std::optional<QRect> popover;
    ASSERT_TRUE(waitUntil([&] { return (popover = appWindow(m_app, isPopover)).has_value(); }, 20000));
    // It hangs under the icon and stays on the screen.
    EXPECT_GE(popover->top(), icon->bottom());
    EXPECT_LE(popover->right(), 1600);

    // The input has the keyboard a moment after the popover opened: type then, and Return.
    std::optional<quint32> popoverWindow;
    for (quint32 id : m_app.windows()) {
        if (AppUnderTest::windowGeometry(id) == popover)
            popoverWindow = id;
    }
    ASSERT_TRUE(popoverWindow);
    ASSERT_TRUE(AppUnderTest::waitForKeyboardFocus(*popoverWindow));
    ASSERT_TRUE(xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"),
                         QStringLiteral("good morning")}));
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
    ASSERT_TRUE(m_api.waitForRequests(1, 20000));
    const QJsonObject body = m_api.lastRequest().value("body").toObject();
    EXPECT_EQ(body.value("text").toString(), QStringLiteral("good morning"));
    EXPECT_EQ(body.value("trigger_source").toString(), QStringLiteral("menu"));
    EXPECT_EQ(body.value("target_language").toString(), QStringLiteral("tr"));
    // The output shows the answer: what the output shows goes to the history.
    EXPECT_TRUE(
        waitUntil([&] { return history().value(0) == QStringLiteral("good morning → günaydın"); }, 20000))
        << history().join(QStringLiteral("; ")).toStdString();

    // A second click on the icon closes the popover.
    ASSERT_TRUE(clickAt(icon->center(), 1));
    EXPECT_TRUE(waitUntil([&] { return !appWindow(m_app, isPopover).has_value(); }, 20000));

    // The icon's menu: "Quit" is its last entry.
    ASSERT_TRUE(m_app.chooseFromTrayMenu(icon->center(), AppUnderTest::trayMenuEnd, QStringLiteral("Quit")));
    EXPECT_TRUE(waitUntil([&] { return !m_app.isRunning(); }, 20000));
    // A clean end: no crash, no leak report.
    EXPECT_EQ(m_app.stop(), 0);
}

// The real binary on a display without XTEST (as under Wayland without it): the floating bar cannot work,
// so the onboarding window appears, a title and a close button at a fixed size under each window manager,
// and the selection road stays off.
#include "AppUnderTest.h"
#include "DevApiServer.h"
#include "OwnDisplay.h"
#include "TestUtils.h"

#include <QProcess>
#include <gtest/gtest.h>
#include <optional>

namespace {

struct WindowManager {
    const char* program;
    // Whether it offers these; unset: its own business (icewm offers full screen and resizing to every
    // window, with no button for them).
    std::optional<bool> resizing, fullScreen;
};

void PrintTo(const WindowManager& manager, std::ostream* out) {
    *out << manager.program;
}

class OnboardingGateTest : public ::testing::TestWithParam<WindowManager> {};

} // namespace

TEST_P(OnboardingGateTest, ADisplayWithoutXTestShowsTheOnboardingWindowWithCloseAlone) {
    OwnDisplay display({QStringLiteral("-extension"), QStringLiteral("XTEST")});
    ASSERT_FALSE(display.display().isEmpty());
    DevApiServer api;
    ASSERT_TRUE(api.start());
    // A window manager there, to say what the user may do with the window.
    QProcess windowManager;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display.display());
    windowManager.setProcessEnvironment(environment);
    windowManager.start(QString::fromLatin1(GetParam().program), {});
    const auto xprop = [&display](const QStringList& arguments) {
        return QString::fromUtf8(
            runTool(QStringLiteral("xprop"), QStringList{QStringLiteral("-display"), display.display()} + arguments)
                .value_or(QByteArray()));
    };
    ASSERT_TRUE(waitUntil(
        [&] {
            return xprop({QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                .contains(QLatin1String("window id"));
        },
        20000));
    AppUnderTest app;
    app.setEnvironmentVariable(QStringLiteral("DISPLAY"), display.display());
    ASSERT_TRUE(app.start(&api));

    const std::optional<quint32> onboarding = app.waitForWindow(AppUnderTest::onboardingWindow);
    ASSERT_TRUE(onboarding.has_value());
    // A title and a close button at a fixed size, as the window manager is told and as it lets the user
    // act on the window.
    QString actions;
    EXPECT_TRUE(waitUntil([&] {
        actions = xprop({QStringLiteral("-id"), QString::number(*onboarding), QStringLiteral("_NET_WM_ALLOWED_ACTIONS")});
        return actions.contains(QLatin1String("_NET_WM_ACTION_CLOSE"));
    }));
    const QString motif = xprop({QStringLiteral("-id"), QString::number(*onboarding), QStringLiteral("_MOTIF_WM_HINTS")});
    // Flags, functions, decorations, ...
    QList<uint> hints;
    for (const QString& value : motif.section(QLatin1Char('='), 1).split(QLatin1Char(',')))
        hints.append(value.trimmed().toUInt(nullptr, 16));
    ASSERT_GE(hints.size(), 3) << motif.toStdString();
    const auto decorated = [&](uint decoration) { return (hints[0] & 0x2) == 0 || (hints[2] & decoration) != 0; };
    const auto allowed = [&](const char* action) {
        for (const QString& listed : actions.section(QLatin1Char('='), 1).split(QLatin1Char(','))) {
            if (listed.trimmed() == QLatin1String(action))
                return true;
        }
        return false;
    };
    const struct {
        const char* what;
        bool shown;
        std::optional<bool> expected;
    } rows[] = {
        {"title", decorated(0x8), true},
        {"minimize button", decorated(0x20), false},
        {"maximize button", decorated(0x40), false},
        {"closing", allowed("_NET_WM_ACTION_CLOSE"), true},
        {"moving", allowed("_NET_WM_ACTION_MOVE"), true},
        {"resizing", allowed("_NET_WM_ACTION_RESIZE"), GetParam().resizing},
        {"minimizing", allowed("_NET_WM_ACTION_MINIMIZE"), false},
        {"maximizing across", allowed("_NET_WM_ACTION_MAXIMIZE_HORZ"), false},
        {"maximizing down", allowed("_NET_WM_ACTION_MAXIMIZE_VERT"), false},
        {"full screen", allowed("_NET_WM_ACTION_FULLSCREEN"), GetParam().fullScreen},
    };
    for (const auto& row : rows) {
        if (row.expected) {
            EXPECT_EQ(row.shown, *row.expected) << row.what << "; " << motif.toStdString() << actions.toStdString();
        }
    }
    // The window is shown a turn after the gate, where the full setup would have started.
    EXPECT_FALSE(app.log().contains(AppUnderTest::fullSetupLine));
    // What the window found, as it stores it.
    const auto stored = [&app](const char* key, const char* value) {
        return waitUntil([&] { return app.setting(QLatin1String(key)).toString() == QLatin1String(value); });
    };
    EXPECT_TRUE(stored("hasCompletedOnboarding", "false"));
    EXPECT_TRUE(stored("hasAccessibilityPermission", "false"));
    EXPECT_TRUE(stored("hasScreenCapturePermission", "true"));
    EXPECT_EQ(app.stop(), 0) << app.log().toStdString();
    windowManager.terminate();
    windowManager.waitForFinished(5000);
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, OnboardingGateTest,
                         ::testing::Values(WindowManager{"openbox", false, false},
                                           WindowManager{"icewm", std::nullopt, std::nullopt}),
                         [](const auto& info) { return std::string(info.param.program); });

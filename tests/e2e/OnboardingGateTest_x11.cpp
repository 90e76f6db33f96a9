// The real binary on a display without XTEST (as under Wayland without it): the floating bar cannot work,
// so the onboarding window appears and the selection road stays off.
#include "AppUnderTest.h"
#include "DevApiServer.h"
#include "OwnDisplay.h"
#include "TestUtils.h"

#include <gtest/gtest.h>

TEST(OnboardingGateTest, ADisplayWithoutXTestShowsTheOnboardingWindow) {
    OwnDisplay display({QStringLiteral("-extension"), QStringLiteral("XTEST")});
    ASSERT_FALSE(display.display().isEmpty());
    DevApiServer api;
    ASSERT_TRUE(api.start());
    AppUnderTest app;
    app.setEnvironmentVariable(QStringLiteral("DISPLAY"), display.display());
    ASSERT_TRUE(app.start(&api));

    EXPECT_TRUE(app.waitForWindow(AppUnderTest::onboardingWindow).has_value());
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
}

// The real binary on a display where no tray runs (the README's bare xvfb-run recipe): the icon has
// nowhere to show, so the app must say how to reach it and open the translator instead of running unseen.
#include "AppUnderTest.h"
#include "DevApiServer.h"
#include "OwnDisplay.h"

#include <gtest/gtest.h>

TEST(NoTrayTest, StartingWithoutATraySaysHowToReachTheApp) {
    OwnDisplay display;
    ASSERT_FALSE(display.display().isEmpty());
    DevApiServer api;
    ASSERT_TRUE(api.start());
    AppUnderTest app;
    app.setEnvironmentVariable(QStringLiteral("DISPLAY"), display.display());
    ASSERT_TRUE(app.start(&api));
    EXPECT_GE(app.waitForLog(QStringLiteral("Quillora: no system tray on this display")), 0)
        << app.log().toStdString();
    EXPECT_EQ(app.log().count(QStringLiteral("no system tray")), 1);
    // The translator opens by itself, so the first start is not a blank screen.
    EXPECT_TRUE(app.waitForWindow(AppUnderTest::translatorWindow).has_value());
    EXPECT_EQ(app.stop(), 0) << app.log().toStdString();
}

// Coordinate conversion and click counting of the X11 mouse monitor, without a display.
#include "platform/x11/X11GlobalMouseMonitor.h"

#include <gtest/gtest.h>

namespace {

using Mapping = X11GlobalMouseMonitor::ScreenMapping;

TEST(X11MouseCoordinates, OneScreenAtScaleOneIsUnchanged) {
    const QList<Mapping> screens{{QRect(0, 0, 1600, 1000), QRect(0, 0, 1600, 1000)}};
    EXPECT_EQ(X11GlobalMouseMonitor::toDeviceIndependent(QPoint(0, 0), screens), QPoint(0, 0));
    EXPECT_EQ(X11GlobalMouseMonitor::toDeviceIndependent(QPoint(1234, 567), screens), QPoint(1234, 567));
}

TEST(X11MouseCoordinates, EachScreenScalesAboutItsOwnOrigin) {
    // Left: 1920x1080 at scale 1. Right: 2560x1440 native pixels at scale 2, so 1280x720 logical, whose
    // logical origin stays at the native one (Qt keeps screen origins and scales sizes).
    const QList<Mapping> screens{{QRect(0, 0, 1920, 1080), QRect(0, 0, 1920, 1080)},
                                 {QRect(1920, 0, 2560, 1440), QRect(1920, 0, 1280, 720)}};
    EXPECT_EQ(X11GlobalMouseMonitor::toDeviceIndependent(QPoint(1919, 500), screens), QPoint(1919, 500));
    EXPECT_EQ(X11GlobalMouseMonitor::toDeviceIndependent(QPoint(1920, 0), screens), QPoint(1920, 0));
    EXPECT_EQ(X11GlobalMouseMonitor::toDeviceIndependent(QPoint(1920 + 1000, 600), screens),
              QPoint(1920 + 500, 300));
    EXPECT_EQ(X11GlobalMouseMonitor::toDeviceIndependent(QPoint(4479, 1439), screens),
              QPoint(1920 + 1280, 720));
}

TEST(X11MouseCoordinates, FractionalScaleAndScreenBelow) {
    const QList<Mapping> screens{{QRect(0, 0, 1500, 900), QRect(0, 0, 1000, 600)},
                                 {QRect(0, 900, 1000, 800), QRect(0, 900, 1000, 800)}};
    EXPECT_EQ(X11GlobalMouseMonitor::toDeviceIndependent(QPoint(300, 150), screens), QPoint(200, 100));
    EXPECT_EQ(X11GlobalMouseMonitor::toDeviceIndependent(QPoint(10, 950), screens), QPoint(10, 950));
}

TEST(X11MouseCoordinates, GapsUseTheNearestScreenAndNoScreensLeaveThePointAlone) {
    const QList<Mapping> screens{{QRect(0, 0, 1000, 1000), QRect(0, 0, 1000, 1000)},
                                 {QRect(1000, 0, 2000, 400), QRect(1000, 0, 1000, 200)}};
    // Below the short right screen: scaled by that screen, the nearest one.
    EXPECT_EQ(X11GlobalMouseMonitor::toDeviceIndependent(QPoint(1400, 600), screens), QPoint(1200, 300));
    EXPECT_EQ(X11GlobalMouseMonitor::toDeviceIndependent(QPoint(-20, 30), screens), QPoint(-20, 30));
    EXPECT_EQ(X11GlobalMouseMonitor::toDeviceIndependent(QPoint(77, 88), {}), QPoint(77, 88));
    // A screen being torn down (empty geometry) is never divided by.
    EXPECT_EQ(X11GlobalMouseMonitor::toDeviceIndependent(QPoint(5, 5), {{QRect(), QRect()}}), QPoint(5, 5));
}

TEST(X11MouseClickCount, CountsQuickPressesAtTheSamePlace) {
    X11GlobalMouseMonitor::ClickCounter clicks;
    EXPECT_EQ(clicks.press(1000, QPoint(100, 100), 400, 5), 1);
    EXPECT_EQ(clicks.press(1200, QPoint(102, 99), 400, 5), 2);
    EXPECT_EQ(clicks.press(1500, QPoint(104, 100), 400, 5), 3);
    EXPECT_EQ(clicks.press(1800, QPoint(104, 100), 400, 5), 4);
}

TEST(X11MouseClickCount, ASlowOrDistantPressStartsAgain) {
    X11GlobalMouseMonitor::ClickCounter clicks;
    EXPECT_EQ(clicks.press(1000, QPoint(100, 100), 400, 5), 1);
    EXPECT_EQ(clicks.press(1400, QPoint(100, 100), 400, 5), 1) << "the interval itself is too late";
    EXPECT_EQ(clicks.press(1500, QPoint(106, 100), 400, 5), 1) << "moved beyond the distance";
    EXPECT_EQ(clicks.press(1600, QPoint(106, 100), 400, 5), 2);
    clicks.reset();
    EXPECT_EQ(clicks.press(1700, QPoint(106, 100), 400, 5), 1);
}

TEST(X11MouseClickCount, SurvivesTheServerClockWrapping) {
    X11GlobalMouseMonitor::ClickCounter clicks;
    EXPECT_EQ(clicks.press(0xffffff00u, QPoint(10, 10), 400, 5), 1);
    EXPECT_EQ(clicks.press(0x00000010u, QPoint(10, 10), 400, 5), 2);
    // A clock that went backwards is a long wait, not a quick click.
    EXPECT_EQ(clicks.press(0x00000005u, QPoint(10, 10), 400, 5), 1);
}

} // namespace

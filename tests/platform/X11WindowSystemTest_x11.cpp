// Our windows as the X server and the window manager see them, on a real display.
#include "TestUtils.h"
#include "platform/x11/X11WindowSystem.h"

#include <QTest>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

TEST(X11WindowSystemTest, WorkspacesPositionsAndCompositorOfRealWindows) {
    X11WindowSystem system;

    // Onto every workspace both ways: written before the map, asked of the window manager after it.
    QWidget early(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    early.resize(120, 40);
    system.showOnAllWorkspaces(&early);
    early.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&early));
    EXPECT_TRUE(waitUntil([&] { return system.isOnAllWorkspaces(&early); }));

    QWidget late;
    late.resize(200, 100);
    late.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&late));
    // A window manager acts on requests for windows it manages: this one once it has framed it.
    ASSERT_TRUE(waitUntil([&] { return late.windowHandle()->frameMargins().top() > 0; }));
    EXPECT_FALSE(system.isOnAllWorkspaces(&late));
    system.showOnAllWorkspaces(&late);
    EXPECT_TRUE(waitUntil([&] { return system.isOnAllWorkspaces(&late); }));

    // A window is where the server says it is, frame or not.
    EXPECT_TRUE(waitUntil([&] {
        const std::optional<QPoint> position = system.screenPosition(&late);
        return position && *position == late.geometry().topLeft();
    }));

    // The test display has no compositing manager; the second answer is the one asked for by the first.
    EXPECT_FALSE(system.isCompositing());
    EXPECT_FALSE(system.isCompositing());
}

// Taskbar presence on a real display with a window manager: the app's windows follow the policy, open
// ones at once and later ones when shown; bars and other tool windows are never taskbar entries.
#include "TestUtils.h"
#include "platform/x11/X11ActivationPolicy.h"
#include "platform/x11/X11WindowSystem.h"

#include <QSignalSpy>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

TEST(X11ActivationPolicyTest, WindowsFollowThePolicy) {
    X11ActivationPolicy policy;
    QSignalSpy changes(&policy, &ActivationPolicy::policyChanged);
    ASSERT_EQ(policy.policy(), ActivationPolicy::Policy::Accessory);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Regular window"));
    window.resize(200, 100);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QWindow* handle = window.windowHandle();
    EXPECT_TRUE(X11ActivationPolicy::skipsTaskbar(handle)) << "set before the window was mapped";

    QWidget tool(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    tool.resize(110, 60);
    tool.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tool));
    EXPECT_TRUE(X11ActivationPolicy::skipsTaskbar(tool.windowHandle()));

    policy.setPolicy(ActivationPolicy::Policy::Regular);
    EXPECT_TRUE(waitUntil([&] { return !X11ActivationPolicy::skipsTaskbar(handle); }, 10000));
    EXPECT_TRUE(X11ActivationPolicy::skipsTaskbar(tool.windowHandle()));
    // Shown again on every workspace, as the floating bar is at every selection: that rewrites its states.
    tool.hide();
    X11WindowSystem().showOnAllWorkspaces(&tool);
    tool.show();
    // Exposed, it is mapped: the window manager is done with the withdrawal, which may drop the states.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tool));
    EXPECT_TRUE(waitUntil([&] { return X11ActivationPolicy::skipsTaskbar(tool.windowHandle()); }, 10000));

    QWidget later;
    later.setWindowTitle(QStringLiteral("Later window"));
    later.resize(200, 100);
    later.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&later));
    EXPECT_FALSE(X11ActivationPolicy::skipsTaskbar(later.windowHandle()));

    policy.setPolicy(ActivationPolicy::Policy::Accessory);
    EXPECT_TRUE(waitUntil([&] { return X11ActivationPolicy::skipsTaskbar(handle); }, 10000));
    EXPECT_TRUE(waitUntil([&] { return X11ActivationPolicy::skipsTaskbar(later.windowHandle()); }, 10000));
    EXPECT_TRUE(X11ActivationPolicy::skipsTaskbar(tool.windowHandle()));

    // Setting the policy in force again changes nothing and says nothing.
    policy.setPolicy(ActivationPolicy::Policy::Accessory);
    EXPECT_EQ(changes.size(), 2);
}

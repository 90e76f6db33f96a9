// Taskbar presence on a real display with a window manager: the app's windows follow the policy, open
// ones at once and later ones when shown; bars and other tool windows are never taskbar entries.
#include "TestUtils.h"
#include "platform/x11/X11ActivationPolicy.h"
#include "platform/x11/X11WindowSystem.h"
#include "platform/x11/Xcb.h"

#include <QSignalSpy>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

bool hasState(const QWindow* window, const char* name) {
    xcb_connection_t* c = Xcb::qtConnection();
    const std::vector<xcb_atom_t> atoms =
        Xcb::atomList(c, xcb_window_t(window->winId()), Xcb::internAtom(c, "_NET_WM_STATE"));
    return std::find(atoms.begin(), atoms.end(), Xcb::internAtom(c, name)) != atoms.end();
}

// Asks the window manager to keep the window above others: it then writes the window's states anew from
// what it holds of them, whatever a client wrote into the property itself.
void askToKeepAbove(const QWindow* window) {
    xcb_connection_t* c = Xcb::qtConnection();
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = xcb_window_t(window->winId());
    message.type = Xcb::internAtom(c, "_NET_WM_STATE");
    message.data.data32[0] = 1;
    message.data.data32[1] = Xcb::internAtom(c, "_NET_WM_STATE_ABOVE");
    message.data.data32[3] = 1;
    xcb_send_event(c, 0, xcb_setup_roots_iterator(xcb_get_setup(c)).data->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(c);
}

} // namespace

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
    // Once the window manager is done with that show (it answers a request sent after it), hidden and shown
    // again before it hears of the withdrawal (a server grab holds it back): it clears the states at the
    // withdrawal, after they were set for the map.
    askToKeepAbove(tool.windowHandle());
    ASSERT_TRUE(waitUntil([&] { return hasState(tool.windowHandle(), "_NET_WM_STATE_ABOVE"); }, 10000));
    xcb_grab_server(Xcb::qtConnection());
    tool.hide();
    tool.show();
    runQueuedWork();
    xcb_ungrab_server(Xcb::qtConnection());
    xcb_flush(Xcb::qtConnection());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tool, 30000));
    // The window manager holds it so, not the property alone.
    askToKeepAbove(tool.windowHandle());
    ASSERT_TRUE(waitUntil([&] { return hasState(tool.windowHandle(), "_NET_WM_STATE_ABOVE"); }, 10000));
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

#include "platform/x11/X11AccessibilityPermission.h"

#include "platform/DebugLog.h"
#include "platform/x11/PermissionExplanation.h"
#include "platform/x11/XcbExtensionsOnDemand.h"

#include <QGuiApplication>
#include <cstdlib>
#include <xcb/xcb.h>
#include <xcb/xinput.h>
#include <xcb/xtest.h>

// Last: its macros clash with Qt's names.
#include <X11/Xlib.h>

namespace {


// Asked on a connection of our own: a second XIQueryVersion on Qt's connection could disagree with the
// version Qt negotiated there.
bool displayOffersInputExtensions() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display())
        return false;
    xcb_connection_t* connection = xcb_connect(XDisplayString(x11->display()), nullptr);
    bool usable = !xcb_connection_has_error(connection);
    if (usable) {
        const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(connection, XcbExtensionsOnDemand::test());
        const xcb_query_extension_reply_t* xinput = xcb_get_extension_data(connection, XcbExtensionsOnDemand::input());
        usable = xtest && xtest->present && xinput && xinput->present;
    }
    if (usable) {
        xcb_input_xi_query_version_reply_t* version = xcb_input_xi_query_version_reply(
            connection, xcb_input_xi_query_version(connection, 2, 2), nullptr);
        usable = version && version->major_version >= 2;
        std::free(version);
    }
    xcb_disconnect(connection);
    return usable;
}

} // namespace

bool X11AccessibilityPermission::isProcessTrusted() const {
    if (!m_trusted) {
        m_trusted = displayOffersInputExtensions();
        debugLog(QStringLiteral("AccessibilityPermission"),
                 *m_trusted ? QStringLiteral("✅ XTEST and XInput 2 available")
                            : QStringLiteral("❌ XTEST or XInput 2 missing on this display"));
    }
    return *m_trusted;
}

void X11AccessibilityPermission::requestTrust(QWidget* over) {
    PermissionExplanation::show(PermissionExplanation::Permission::Accessibility, over);
}

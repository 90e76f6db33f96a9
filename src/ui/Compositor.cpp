#include "ui/Compositor.h"

#include <QGuiApplication>
#include <cstdlib>
#include <optional>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

bool Compositor::isRunning() {
    // Platforms other than X11 (the offscreen one of the tests included) compose windows themselves.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return true;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    // Asked as a window is about to show, where a round trip to the server delays it: the answer is the
    // one to the question sent at the previous call, if it has come, and a new question goes out for the
    // next. Only the first call waits. A compositor starting or stopping is seen one window late.
    static xcb_atom_t selection = XCB_ATOM_NONE;
    static std::optional<bool> running;
    static std::optional<unsigned int> asked;
    const auto answer = [](const xcb_get_selection_owner_reply_t* reply) { return reply && reply->owner != XCB_NONE; };
    if (selection == XCB_ATOM_NONE) {
        // The manager of screen 0 owns the selection "_NET_WM_CM_S0".
        static const char name[] = "_NET_WM_CM_S0";
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, sizeof(name) - 1, name), nullptr);
        if (!atom)
            return false;
        selection = atom->atom;
        std::free(atom);
    }
    if (asked) {
        void* reply = nullptr;
        xcb_generic_error_t* error = nullptr;
        if (xcb_poll_for_reply(connection, *asked, &reply, &error)) {
            running = answer(static_cast<xcb_get_selection_owner_reply_t*>(reply));
            asked.reset();
        }
        std::free(reply);
        std::free(error);
    }
    if (!running) {
        xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
            connection, xcb_get_selection_owner(connection, selection), nullptr);
        running = answer(owner);
        std::free(owner);
    }
    if (!asked) {
        asked = xcb_get_selection_owner(connection, selection).sequence;
        xcb_flush(connection);
    }
    return *running;
}

#include "ui/WindowWorkspaces.h"

#include <QGuiApplication>
#include <QWidget>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <xcb/xcb.h>

namespace {

constexpr quint32 allDesktops = 0xFFFFFFFF;

xcb_connection_t* connection() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

struct Atoms {
    xcb_atom_t desktop = XCB_ATOM_NONE;
    xcb_atom_t state = XCB_ATOM_NONE;
    xcb_atom_t sticky = XCB_ATOM_NONE;
};

// Atoms live as long as the server: asked for together, once.
const Atoms& atoms(xcb_connection_t* c) {
    static const Atoms known = [c] {
        const char* const names[] = {"_NET_WM_DESKTOP", "_NET_WM_STATE", "_NET_WM_STATE_STICKY"};
        xcb_intern_atom_cookie_t cookies[3];
        for (int i = 0; i < 3; ++i)
            cookies[i] = xcb_intern_atom(c, 0, quint16(strlen(names[i])), names[i]);
        xcb_atom_t values[3] = {XCB_ATOM_NONE, XCB_ATOM_NONE, XCB_ATOM_NONE};
        for (int i = 0; i < 3; ++i) {
            xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookies[i], nullptr);
            values[i] = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
            std::free(reply);
        }
        return Atoms{values[0], values[1], values[2]};
    }();
    return known;
}

xcb_window_t rootOf(xcb_connection_t* c) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    return xcb_setup_roots_iterator(setup).data->root;
}

void sendToRoot(xcb_connection_t* c, xcb_window_t window, xcb_atom_t type, std::array<quint32, 5> data) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    for (size_t i = 0; i < data.size(); ++i)
        event.data.data32[i] = data[i];
    xcb_send_event(c, 0, rootOf(c), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
}

std::vector<xcb_atom_t> readAtoms(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property) {
    std::vector<xcb_atom_t> atoms;
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, XCB_ATOM_ATOM, 0, 1024), nullptr);
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto* data = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        atoms.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return atoms;
}

} // namespace

void WindowWorkspaces::showOnAllWorkspaces(QWidget* window) {
    xcb_connection_t* c = connection();
    if (!c || !window)
        return;
    const xcb_window_t id = xcb_window_t(window->winId());
    const Atoms& known = atoms(c);
    if (window->isVisible()) {
        // A mapped window belongs to the window manager: ask it.
        sendToRoot(c, id, known.desktop, {allDesktops, 2, 0, 0, 0});
        sendToRoot(c, id, known.state, {1 /* add */, known.sticky, 0, 2, 0});
    } else {
        // Read when the window is mapped. Nothing else is kept there while it is withdrawn, and Qt merges
        // its own states in as it maps the window; written without a round trip, the bar shows sooner.
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, known.desktop, XCB_ATOM_CARDINAL, 32, 1,
                            &allDesktops);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, known.state, XCB_ATOM_ATOM, 32, 1, &known.sticky);
    }
    xcb_flush(c);
}

bool WindowWorkspaces::isOnAllWorkspaces(QWidget* window) {
    xcb_connection_t* c = connection();
    if (!c || !window)
        return false;
    const xcb_window_t id = xcb_window_t(window->winId());
    // Window managers without the sticky state (openbox) keep only the desktop number.
    bool onAll = false;
    xcb_get_property_reply_t* desktop = xcb_get_property_reply(
        c, xcb_get_property(c, 0, id, atoms(c).desktop, XCB_ATOM_CARDINAL, 0, 1), nullptr);
    if (desktop && desktop->format == 32 && xcb_get_property_value_length(desktop) == 4)
        onAll = *static_cast<const quint32*>(xcb_get_property_value(desktop)) == allDesktops;
    std::free(desktop);
    const std::vector<xcb_atom_t> states = readAtoms(c, id, atoms(c).state);
    return onAll || std::find(states.begin(), states.end(), atoms(c).sticky) != states.end();
}

#include "menubar/look/WindowWorkspaces.h"

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

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, quint16(strlen(name)), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return result;
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
    const xcb_atom_t desktop = atom(c, "_NET_WM_DESKTOP");
    const xcb_atom_t state = atom(c, "_NET_WM_STATE");
    const xcb_atom_t sticky = atom(c, "_NET_WM_STATE_STICKY");
    if (window->isVisible()) {
        // A mapped window belongs to the window manager: ask it.
        sendToRoot(c, id, desktop, {allDesktops, 2, 0, 0, 0});
        sendToRoot(c, id, state, {1 /* add */, sticky, 0, 2, 0});
    } else {
        // Read when the window is mapped; Qt merges its own states into what is already there.
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, desktop, XCB_ATOM_CARDINAL, 32, 1, &allDesktops);
        std::vector<xcb_atom_t> atoms = readAtoms(c, id, state);
        if (std::find(atoms.begin(), atoms.end(), sticky) == atoms.end())
            atoms.push_back(sticky);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32, quint32(atoms.size()),
                            atoms.data());
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
        c, xcb_get_property(c, 0, id, atom(c, "_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL, 0, 1), nullptr);
    if (desktop && desktop->format == 32 && xcb_get_property_value_length(desktop) == 4)
        onAll = *static_cast<const quint32*>(xcb_get_property_value(desktop)) == allDesktops;
    std::free(desktop);
    const std::vector<xcb_atom_t> atoms = readAtoms(c, id, atom(c, "_NET_WM_STATE"));
    return onAll || std::find(atoms.begin(), atoms.end(), atom(c, "_NET_WM_STATE_STICKY")) != atoms.end();
}

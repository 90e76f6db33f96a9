#include "platform/x11/X11WindowSystem.h"

#include "platform/x11/Xcb.h"

#include <QApplication>
#include <QByteArray>
#include <QWidget>
#include <algorithm>
#include <array>
#include <xcb/xcbext.h>

namespace {

constexpr quint32 allDesktops = 0xFFFFFFFF;

struct WorkspaceAtoms {
    xcb_atom_t desktop = XCB_ATOM_NONE;
    xcb_atom_t state = XCB_ATOM_NONE;
    xcb_atom_t sticky = XCB_ATOM_NONE;
};

// Atoms live as long as the server: asked for together, once.
const WorkspaceAtoms& workspaceAtoms(xcb_connection_t* c) {
    static const WorkspaceAtoms known = [c] {
        const std::vector<xcb_atom_t> atoms =
            Xcb::internAtoms(c, {"_NET_WM_DESKTOP", "_NET_WM_STATE", "_NET_WM_STATE_STICKY"});
        return WorkspaceAtoms{atoms[0], atoms[1], atoms[2]};
    }();
    return known;
}

xcb_window_t rootOf(xcb_connection_t* c) {
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
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

// The name the running window manager gives itself on its check window; empty when none says.
QByteArray windowManagerName(xcb_connection_t* c) {
    const std::vector<xcb_atom_t> atoms =
        Xcb::internAtoms(c, {"_NET_SUPPORTING_WM_CHECK", "_NET_WM_NAME", "UTF8_STRING"});
    const XcbReply<xcb_get_property_reply_t> check(xcb_get_property_reply(
        c, xcb_get_property(c, 0, rootOf(c), atoms[0], XCB_ATOM_WINDOW, 0, 1), nullptr));
    if (!check || check->format != 32 || xcb_get_property_value_length(check.get()) != 4)
        return {};
    const xcb_window_t manager = *static_cast<const xcb_window_t*>(xcb_get_property_value(check.get()));
    const XcbReply<xcb_get_property_reply_t> name(
        xcb_get_property_reply(c, xcb_get_property(c, 0, manager, atoms[1], atoms[2], 0, 64), nullptr));
    if (!name || name->format != 8)
        return {};
    return QByteArray(static_cast<const char*>(xcb_get_property_value(name.get())),
                      xcb_get_property_value_length(name.get()));
}

bool ownedSelection(const xcb_get_selection_owner_reply_t* reply) {
    return reply && reply->owner != XCB_NONE;
}

} // namespace

X11WindowSystem::~X11WindowSystem() {
    if (xcb_connection_t* c = m_compositorAsked ? Xcb::qtConnection() : nullptr)
        xcb_discard_reply(c, *m_compositorAsked);
}

bool X11WindowSystem::isCompositing() {
    // Platforms other than X11 (the offscreen one of the tests included) compose windows themselves.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return true;
    xcb_connection_t* c = Xcb::qtConnection();
    if (!c)
        return false;
    // Asked as a window is about to show, where a round trip to the server delays it: the answer is the
    // one to the question sent at the previous call, if it has come, and a new question goes out for the
    // next. Only the first call waits. A compositor starting or stopping is seen one window late.
    if (m_compositorSelection == XCB_ATOM_NONE) {
        // The manager of screen 0 owns the selection "_NET_WM_CM_S0".
        m_compositorSelection = Xcb::internAtom(c, "_NET_WM_CM_S0");
        if (m_compositorSelection == XCB_ATOM_NONE)
            return false;
    }
    if (m_compositorAsked) {
        void* reply = nullptr;
        xcb_generic_error_t* error = nullptr;
        if (xcb_poll_for_reply(c, *m_compositorAsked, &reply, &error)) {
            m_compositing = ownedSelection(static_cast<xcb_get_selection_owner_reply_t*>(reply));
            m_compositorAsked.reset();
        }
        std::free(reply);
        std::free(error);
    }
    if (!m_compositing) {
        const XcbReply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
            c, xcb_get_selection_owner(c, m_compositorSelection), nullptr));
        m_compositing = ownedSelection(owner.get());
    }
    if (!m_compositorAsked) {
        m_compositorAsked = xcb_get_selection_owner(c, m_compositorSelection).sequence;
        xcb_flush(c);
    }
    return *m_compositing;
}

void X11WindowSystem::showOnAllWorkspaces(QWidget* window) {
    xcb_connection_t* c = Xcb::qtConnection();
    if (!c || !window)
        return;
    const xcb_window_t id = xcb_window_t(window->winId());
    const WorkspaceAtoms& known = workspaceAtoms(c);
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

bool X11WindowSystem::isOnAllWorkspaces(QWidget* window) const {
    xcb_connection_t* c = Xcb::qtConnection();
    if (!c || !window)
        return false;
    const xcb_window_t id = xcb_window_t(window->winId());
    const WorkspaceAtoms& known = workspaceAtoms(c);
    // Window managers without the sticky state (openbox) keep only the desktop number.
    bool onAll = false;
    const XcbReply<xcb_get_property_reply_t> desktop(xcb_get_property_reply(
        c, xcb_get_property(c, 0, id, known.desktop, XCB_ATOM_CARDINAL, 0, 1), nullptr));
    if (desktop && desktop->format == 32 && xcb_get_property_value_length(desktop.get()) == 4)
        onAll = *static_cast<const quint32*>(xcb_get_property_value(desktop.get())) == allDesktops;
    const std::vector<xcb_atom_t> states = Xcb::atomList(c, id, known.state);
    return onAll || std::find(states.begin(), states.end(), known.sticky) != states.end();
}

std::optional<QPoint> X11WindowSystem::screenPosition(QWidget* window) const {
    xcb_connection_t* c = Xcb::qtConnection();
    if (!c || !window)
        return std::nullopt;
    const XcbReply<xcb_translate_coordinates_reply_t> reply(xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, xcb_window_t(window->winId()), rootOf(c), 0, 0), nullptr));
    if (!reply)
        return std::nullopt;
    const qreal ratio = window->devicePixelRatioF();
    return QPoint(int(reply->dst_x / ratio), int(reply->dst_y / ratio));
}

QWidget* X11WindowSystem::ownWindowAt(QPoint position) const {
    // Only our windows whose frame holds the point can show there: for a gesture in another program's
    // window away from ours, the only question to the server is whether it fell on the tray icon. That
    // icon lives inside the tray's window, where its own geometry means nothing here.
    QList<QWidget*> candidates;
    QWidget* trayIcon = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible() || !window->internalWinId())
            continue;
        if (window->inherits("QSystemTrayIconSys"))
            trayIcon = window;
        else if (window->frameGeometry().contains(position))
            candidates.append(window);
    }
    xcb_connection_t* c = Xcb::qtConnection();
    if (!c)
        return candidates.value(0);
    if (candidates.isEmpty() && !trayIcon)
        return nullptr;

    const xcb_window_t root = rootOf(c);
    const QPoint native = Xcb::nativePosition(position);
    // The questions share a round trip. The tray sizes the icon's window as it likes: its size is asked too.
    const xcb_translate_coordinates_cookie_t topCookie =
        xcb_translate_coordinates(c, root, root, int16_t(native.x()), int16_t(native.y()));
    if (trayIcon) {
        const xcb_window_t icon = xcb_window_t(trayIcon->internalWinId());
        const xcb_translate_coordinates_cookie_t onIcon =
            xcb_translate_coordinates(c, root, icon, int16_t(native.x()), int16_t(native.y()));
        const xcb_get_geometry_cookie_t iconSize = xcb_get_geometry(c, icon);
        const XcbReply<xcb_translate_coordinates_reply_t> within(xcb_translate_coordinates_reply(c, onIcon, nullptr));
        const XcbReply<xcb_get_geometry_reply_t> size(xcb_get_geometry_reply(c, iconSize, nullptr));
        if (within && size && within->same_screen && within->dst_x >= 0 && within->dst_y >= 0 &&
            within->dst_x < size->width && within->dst_y < size->height)
            candidates.append(trayIcon);
    }
    if (candidates.isEmpty()) {
        xcb_discard_reply(c, topCookie.sequence);
        return nullptr;
    }

    // The server knows the stacking order and what is mapped: the child of the root under the point is the
    // top-level window shown there (a window manager's frame around its client; a minimised window's frame
    // is unmapped). One of ours shows there when it is that window or lies inside it.
    const XcbReply<xcb_translate_coordinates_reply_t> top(xcb_translate_coordinates_reply(c, topCookie, nullptr));
    if (!top || top->child == XCB_WINDOW_NONE)
        return nullptr;
    QList<xcb_window_t> ancestors;
    for (QWidget* window : std::as_const(candidates))
        ancestors.append(xcb_window_t(window->internalWinId()));
    // Up through the frames, all candidates a level at a time: a round trip a level, few levels deep.
    for (int level = 0; level < 8 && !candidates.isEmpty(); ++level) {
        for (qsizetype i = 0; i < candidates.size(); ++i) {
            if (ancestors[i] == top->child)
                return candidates[i];
        }
        QList<xcb_query_tree_cookie_t> cookies;
        for (const xcb_window_t window : std::as_const(ancestors))
            cookies.append(xcb_query_tree(c, window));
        for (qsizetype i = cookies.size() - 1; i >= 0; --i) {
            const XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, cookies[i], nullptr));
            if (tree && tree->parent != XCB_WINDOW_NONE && tree->parent != root) {
                ancestors[i] = tree->parent;
            } else {
                ancestors.removeAt(i);
                candidates.removeAt(i);
            }
        }
    }
    return nullptr;
}

void X11WindowSystem::offerOnlyClosing(QWidget* window) {
    xcb_connection_t* c = Xcb::qtConnection();
    if (!c || !window)
        return;
    // The Motif hints of the window's flags say it all to the others, but Openbox offers minimising and
    // full screen to every normal window and dialog: there it is typed as a toolbar, which Openbox gives a
    // title and a close button alone, and still focuses.
    if (windowManagerName(c) != "Openbox")
        return;
    const std::vector<xcb_atom_t> atoms =
        Xcb::internAtoms(c, {"_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_TOOLBAR", "_NET_WM_WINDOW_TYPE_NORMAL"});
    const xcb_atom_t types[] = {atoms[1], atoms[2]};
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, xcb_window_t(window->winId()), atoms[0], XCB_ATOM_ATOM, 32, 2,
                        types);
    xcb_flush(c);
}

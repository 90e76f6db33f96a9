#include "platform/x11/X11Workspace.h"

#include "platform/x11/DesktopUrlOpener.h"
#include "platform/x11/Xcb.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QScreen>
#include <QSet>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <qpa/qplatformnativeinterface.h>
#include <qpa/qplatformscreen.h>

namespace {

XcbReply<xcb_get_property_reply_t> propertyReply(xcb_connection_t* connection,
                                                 xcb_get_property_cookie_t cookie) {
    // The window may be gone by now; its error is answered here rather than left in Qt's event queue.
    xcb_generic_error_t* error = nullptr;
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection, cookie, &error));
    std::free(error);
    return reply;
}

// A reply whose error (the window may be gone by now) is answered here, not left in Qt's event queue.
template <typename Reply, typename Cookie, typename ReplyFunction>
XcbReply<Reply> answer(xcb_connection_t* connection, Cookie cookie, ReplyFunction replyFunction) {
    xcb_generic_error_t* error = nullptr;
    XcbReply<Reply> reply(replyFunction(connection, cookie, &error));
    std::free(error);
    return reply;
}

QList<std::uint32_t> values32(const xcb_get_property_reply_t* reply) {
    if (!reply || reply->format != 32)
        return {};
    const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
    return QList<std::uint32_t>(data, data + xcb_get_property_value_length(reply) / 4);
}

QByteArray bytes(const xcb_get_property_reply_t* reply) {
    if (!reply || reply->format != 8)
        return {};
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                      xcb_get_property_value_length(reply));
}

xcb_get_property_cookie_t requestProperty(xcb_connection_t* connection, std::uint32_t window,
                                          std::uint32_t property, std::uint32_t type,
                                          std::uint32_t longLength) {
    return xcb_get_property(connection, false, window, property, type, 0, longLength);
}

} // namespace

struct X11Workspace::WindowInfo {
    std::uint32_t window = 0;
    qint64 processId = 0;
    QString instance;
    QString windowClass;
    QList<std::uint32_t> states;
    QList<std::uint32_t> types;
};

X11Workspace::X11Workspace(QStringList applicationDirs, QString cachePath, QObject* parent)
    : Workspace(parent)
    , m_index(std::async(std::launch::async, [dirs = std::move(applicationDirs), cache = std::move(cachePath)] {
                  return DesktopEntryIndex::load(dirs, cache);
              }).share()) {}

X11Workspace::~X11Workspace() = default;

const DesktopEntryIndex& X11Workspace::index() const {
    // Ready long before the first question in practice; otherwise this waits for the scan to end.
    return m_index.get();
}

std::uint32_t X11Workspace::atom(const char* name) const {
    const auto cached = m_atoms.constFind(name);
    if (cached != m_atoms.constEnd())
        return *cached;
    xcb_connection_t* connection = Xcb::qtConnection();
    if (!connection)
        return XCB_ATOM_NONE;
    const std::uint32_t value = Xcb::internAtom(connection, name);
    if (value != XCB_ATOM_NONE)
        m_atoms.insert(name, value);
    return value;
}

std::uint32_t X11Workspace::rootWindow() const {
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    QScreen* screen = QGuiApplication::primaryScreen();
    if (native && screen) {
        if (void* root = native->nativeResourceForScreen("rootwindow", screen))
            return std::uint32_t(reinterpret_cast<quintptr>(root));
    }
    xcb_connection_t* connection = Xcb::qtConnection();
    return connection ? xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root : 0;
}

std::optional<RunningApplication> X11Workspace::frontmostApplication() const {
    xcb_connection_t* connection = Xcb::qtConnection();
    if (!connection)
        return std::nullopt;
    const auto active =
        propertyReply(connection, requestProperty(connection, rootWindow(), atom("_NET_ACTIVE_WINDOW"),
                                                  XCB_ATOM_WINDOW, 1));
    const QList<std::uint32_t> windows = values32(active.get());
    if (windows.isEmpty() || windows.first() == XCB_WINDOW_NONE)
        return std::nullopt;
    return describeWindow(windows.first());
}

struct X11Workspace::DescriptionCookies {
    xcb_get_property_cookie_t pid, wmClass;
};

X11Workspace::DescriptionCookies X11Workspace::askDescription(std::uint32_t window) const {
    xcb_connection_t* connection = Xcb::qtConnection();
    return {requestProperty(connection, window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 1),
            requestProperty(connection, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 256)};
}

RunningApplication X11Workspace::describeWindow(std::uint32_t window,
                                                const DescriptionCookies& cookies) const {
    xcb_connection_t* connection = Xcb::qtConnection();
    WindowInfo info;
    info.window = window;
    const QList<std::uint32_t> pid = values32(propertyReply(connection, cookies.pid).get());
    info.processId = pid.isEmpty() ? 0 : pid.first();
    const QList<QByteArray> names = bytes(propertyReply(connection, cookies.wmClass).get()).split('\0');
    info.instance = QString::fromLatin1(names.value(0));
    info.windowClass = QString::fromLatin1(names.value(1));
    return describe(info);
}

RunningApplication X11Workspace::describeWindow(std::uint32_t window) const {
    return describeWindow(window, askDescription(window));
}

bool X11Workspace::hasWmState(std::uint32_t window) const {
    xcb_connection_t* connection = Xcb::qtConnection();
    const std::uint32_t wmState = atom("WM_STATE");
    const auto reply = propertyReply(connection, requestProperty(connection, window, wmState, wmState, 0));
    return reply && reply->type == wmState;
}

std::uint32_t X11Workspace::clientWindowOf(std::uint32_t window) const {
    xcb_connection_t* connection = Xcb::qtConnection();
    const std::uint32_t root = rootWindow();
    std::uint32_t topLevel = window;
    // Up from a focus window (often a child of the client) to the root's child.
    for (std::uint32_t current = window; current != XCB_WINDOW_NONE && current != root;) {
        if (hasWmState(current))
            return current;
        topLevel = current;
        const auto tree = answer<xcb_query_tree_reply_t>(connection, xcb_query_tree(connection, current),
                                                         xcb_query_tree_reply);
        current = tree ? tree->parent : std::uint32_t(XCB_WINDOW_NONE);
    }
    // Without a window manager nothing carries WM_STATE: the top-level window is the client itself.
    return topLevel == root ? std::uint32_t(XCB_WINDOW_NONE) : topLevel;
}

std::optional<RunningApplication> X11Workspace::applicationWindowAt(QPoint position) const {
    if (!Xcb::qtConnection())
        return std::nullopt;
    if (!QGuiApplication::screenAt(position))
        return std::nullopt;
    return applicationWindowAtNative(Xcb::nativePosition(position));
}

std::optional<RunningApplication> X11Workspace::applicationWindowAtNative(QPoint native) const {
    xcb_connection_t* connection = Xcb::qtConnection();
    const std::uint32_t root = rootWindow();
    auto childAt = [&](std::uint32_t window) -> std::uint32_t {
        const auto reply = answer<xcb_translate_coordinates_reply_t>(
            connection, xcb_translate_coordinates(connection, root, window, native.x(), native.y()),
            xcb_translate_coordinates_reply);
        return reply ? reply->child : std::uint32_t(XCB_WINDOW_NONE);
    };
    const std::uint32_t topLevel = childAt(root);
    if (topLevel == XCB_WINDOW_NONE)
        return std::nullopt; // the bare root window

    // Down from the top-level window through the windows under the point to the client window. Some window
    // managers make their frames override-redirect too, so only a client found settles the question. Each
    // level asks everything it may need at once (whether it is the client, the child under the point, and
    // what describes a client), so the walk costs one round trip a level; the answers not needed are dropped.
    const std::uint32_t wmState = atom("WM_STATE");
    const std::uint32_t typeAtom = atom("_NET_WM_WINDOW_TYPE");
    std::uint32_t client = XCB_WINDOW_NONE;
    std::optional<QList<std::uint32_t>> clientTypes;
    std::optional<DescriptionCookies> clientDescription;
    for (std::uint32_t current = topLevel; current != XCB_WINDOW_NONE;) {
        const auto stateCookie = requestProperty(connection, current, wmState, wmState, 0);
        const auto childCookie = xcb_translate_coordinates(connection, root, current, native.x(), native.y());
        const auto typeCookie = requestProperty(connection, current, typeAtom, XCB_ATOM_ATOM, 64);
        const DescriptionCookies description = askDescription(current);
        const auto state = propertyReply(connection, stateCookie);
        if (state && state->type == wmState) {
            xcb_discard_reply(connection, childCookie.sequence);
            client = current;
            clientTypes = values32(propertyReply(connection, typeCookie).get());
            clientDescription = description;
            break;
        }
        xcb_discard_reply(connection, typeCookie.sequence);
        xcb_discard_reply(connection, description.pid.sequence);
        xcb_discard_reply(connection, description.wmClass.sequence);
        const auto child = answer<xcb_translate_coordinates_reply_t>(connection, childCookie,
                                                                     xcb_translate_coordinates_reply);
        current = child ? child->child : std::uint32_t(XCB_WINDOW_NONE);
    }
    if (client == XCB_WINDOW_NONE) {
        const auto attributes = answer<xcb_get_window_attributes_reply_t>(
            connection, xcb_get_window_attributes(connection, topLevel), xcb_get_window_attributes_reply);
        if (!attributes || attributes->override_redirect)
            return std::nullopt; // menus, tooltips, our own bar, such a frame's title bar
        // The point is on a window manager's frame (its client lies elsewhere in the frame), or there is
        // no window manager and the top-level window is the client.
        QList<std::uint32_t> pending{topLevel};
        for (int visited = 0; !pending.isEmpty() && visited < 64; ++visited) {
            const std::uint32_t window = pending.takeFirst();
            if (hasWmState(window))
                return std::nullopt;
            const auto tree = answer<xcb_query_tree_reply_t>(connection, xcb_query_tree(connection, window),
                                                             xcb_query_tree_reply);
            if (!tree)
                continue;
            const xcb_window_t* children = xcb_query_tree_children(tree.get());
            pending.append(
                QList<std::uint32_t>(children, children + xcb_query_tree_children_length(tree.get())));
        }
        client = topLevel;
    }

    const QList<std::uint32_t> types =
        clientTypes ? *clientTypes
                    : values32(propertyReply(connection,
                                             requestProperty(connection, client, typeAtom, XCB_ATOM_ATOM, 64))
                                   .get());
    if (types.contains(atom("_NET_WM_WINDOW_TYPE_DESKTOP")) ||
        types.contains(atom("_NET_WM_WINDOW_TYPE_DOCK"))) {
        if (clientDescription) {
            xcb_discard_reply(connection, clientDescription->pid.sequence);
            xcb_discard_reply(connection, clientDescription->wmClass.sequence);
        }
        return std::nullopt;
    }
    return clientDescription ? describeWindow(client, *clientDescription) : describeWindow(client);
}

std::optional<RunningApplication> X11Workspace::keyboardFocusApplication() const {
    xcb_connection_t* connection = Xcb::qtConnection();
    if (!connection)
        return std::nullopt;
    if (auto active = frontmostApplication())
        return active;
    // No window manager tells: ask the server where keys go.
    const auto focus = answer<xcb_get_input_focus_reply_t>(connection, xcb_get_input_focus(connection),
                                                           xcb_get_input_focus_reply);
    if (!focus || focus->focus == XCB_INPUT_FOCUS_NONE)
        return std::nullopt;
    if (focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT || focus->focus == rootWindow()) {
        const auto pointer = answer<xcb_query_pointer_reply_t>(
            connection, xcb_query_pointer(connection, rootWindow()), xcb_query_pointer_reply);
        if (!pointer)
            return std::nullopt;
        return applicationWindowAtNative(QPoint(pointer->root_x, pointer->root_y));
    }
    const std::uint32_t client = clientWindowOf(focus->focus);
    if (client == XCB_WINDOW_NONE)
        return std::nullopt;
    return describeWindow(client);
}

QList<RunningApplication> X11Workspace::runningApplications() const {
    xcb_connection_t* connection = Xcb::qtConnection();
    if (!connection)
        return {};
    const std::uint32_t pidAtom = atom("_NET_WM_PID");
    const std::uint32_t stateAtom = atom("_NET_WM_STATE");
    const std::uint32_t typeAtom = atom("_NET_WM_WINDOW_TYPE");
    const std::uint32_t skipTaskbar = atom("_NET_WM_STATE_SKIP_TASKBAR");
    const std::uint32_t dockType = atom("_NET_WM_WINDOW_TYPE_DOCK");
    const std::uint32_t desktopType = atom("_NET_WM_WINDOW_TYPE_DESKTOP");
    const auto list =
        propertyReply(connection, requestProperty(connection, rootWindow(), atom("_NET_CLIENT_LIST"),
                                                  XCB_ATOM_WINDOW, 1 << 16));
    const QList<std::uint32_t> windows = values32(list.get());

    // All questions first, then all answers: one round trip for the whole list.
    struct Cookies {
        xcb_get_property_cookie_t pid, wmClass, state, type;
    };
    QList<Cookies> cookies;
    cookies.reserve(windows.size());
    for (const std::uint32_t window : windows) {
        cookies.append({requestProperty(connection, window, pidAtom, XCB_ATOM_CARDINAL, 1),
                        requestProperty(connection, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 256),
                        requestProperty(connection, window, stateAtom, XCB_ATOM_ATOM, 64),
                        requestProperty(connection, window, typeAtom, XCB_ATOM_ATOM, 64)});
    }

    QList<RunningApplication> apps;
    // One entry per running program, however many windows it has; windows without a process id count
    // as one program per identifier.
    QSet<std::pair<qint64, QString>> seen;
    for (qsizetype i = 0; i < windows.size(); ++i) {
        WindowInfo info;
        info.window = windows[i];
        const QList<std::uint32_t> pid = values32(propertyReply(connection, cookies[i].pid).get());
        info.processId = pid.isEmpty() ? 0 : pid.first();
        const QList<QByteArray> names =
            bytes(propertyReply(connection, cookies[i].wmClass).get()).split('\0');
        info.instance = QString::fromLatin1(names.value(0));
        info.windowClass = QString::fromLatin1(names.value(1));
        info.states = values32(propertyReply(connection, cookies[i].state).get());
        info.types = values32(propertyReply(connection, cookies[i].type).get());

        if (info.states.contains(skipTaskbar) || info.types.contains(dockType) ||
            info.types.contains(desktopType))
            continue;
        RunningApplication app = describe(info);
        const std::pair<qint64, QString> program{app.processId, app.bundleIdentifier};
        if (app.bundleIdentifier.isEmpty() || seen.contains(program))
            continue;
        seen.insert(program);
        apps.append(app);
    }
    return apps;
}

RunningApplication X11Workspace::describe(const WindowInfo& window) const {
    RunningApplication app;
    app.windowId = window.window;
    app.processId = window.processId;
    const QString windowClass = window.windowClass.isEmpty() ? window.instance : window.windowClass;
    if (const DesktopEntry* entry = index().match(window.instance, window.windowClass)) {
        app.bundleIdentifier = entry->id;
        app.bundlePath = entry->path;
        app.localizedName = entry->localizedName(QLocale());
    } else {
        app.bundleIdentifier = windowClass.toLower();
    }
    if (app.localizedName.isEmpty())
        app.localizedName = windowClass;
    return app;
}

QIcon X11Workspace::iconForApplication(const RunningApplication& app) const {
    const DesktopEntry* entry = nullptr;
    if (!app.bundlePath.isEmpty())
        entry = index().entryAtPath(app.bundlePath);
    if (!entry && !app.bundleIdentifier.isEmpty())
        entry = index().entryWithId(app.bundleIdentifier);
    const QString icon = entry ? entry->icon : app.bundleIdentifier;
    if (icon.isEmpty())
        return {};
    if (QFileInfo(icon).isAbsolute())
        return QFileInfo::exists(icon) ? QIcon(icon) : QIcon();
    return QIcon::fromTheme(icon);
}

void X11Workspace::openUrl(const QUrl& url, std::function<void(bool opened)> done) {
    DesktopUrlOpener::open(url, this, std::move(done));
}

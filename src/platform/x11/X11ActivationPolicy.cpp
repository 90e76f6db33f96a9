#include "platform/x11/X11ActivationPolicy.h"

#include "platform/x11/Xcb.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QWindow>
#include <algorithm>
#include <array>
#include <vector>

namespace {

// The last regular window that had the focus, to bring back on activation.
QPointer<QWindow>& lastActiveWindow() {
    static QPointer<QWindow> window;
    return window;
}

} // namespace

X11ActivationPolicy::X11ActivationPolicy(QObject* parent)
    : ActivationPolicy(parent) {
    if (qGuiApp)
        qGuiApp->installEventFilter(this);
}

X11ActivationPolicy::~X11ActivationPolicy() {
    if (qGuiApp)
        qGuiApp->removeEventFilter(this);
}

bool X11ActivationPolicy::isAppWindow(const QWindow* window) {
    if (!window || window->parent())
        return false;
    if (window->property("quilloraAppWindow").toBool())
        return true;
    const Qt::WindowType type = window->type();
    return type == Qt::Window || type == Qt::Dialog;
}

void X11ActivationPolicy::setPolicy(Policy policy) {
    if (policy == m_policy)
        return;
    m_policy = policy;
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (isAppWindow(window) && window->handle())
            apply(window, window->isVisible(), policy == Policy::Accessory);
    }
    Q_EMIT policyChanged(policy);
}

void X11ActivationPolicy::activateIgnoringOtherApps() {
    QWindow* target = lastActiveWindow();
    if (!target || !target->isVisible()) {
        target = nullptr;
        for (QWindow* window : QGuiApplication::topLevelWindows()) {
            if (isAppWindow(window) && window->isVisible())
                target = window;
        }
    }
    if (!target)
        return;
    target->raise();
    target->requestActivate();
}

bool X11ActivationPolicy::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Show && event->type() != QEvent::FocusIn)
        return false;
    auto* window = qobject_cast<QWindow*>(watched);
    const bool appWindow = window && isAppWindow(window);
    if (appWindow && event->type() == QEvent::FocusIn)
        lastActiveWindow() = window;
    const bool toolWindow = window && !window->parent() && window->type() == Qt::Tool &&
                            !window->flags().testFlag(Qt::BypassWindowManagerHint);
    if (event->type() != QEvent::Show || (!appWindow && !toolWindow))
        return false;
    // A window's Show arrives after its native window exists and before it is mapped: the state set
    // now is read by the window manager at the map. Shown again soon after it was hidden, the window
    // manager may still be withdrawing it and drop that state: it is asked again once the map is sent.
    const bool skip = !appWindow || m_policy == Policy::Accessory;
    apply(window, false, skip);
    QPointer<QWindow> shown(window);
    QMetaObject::invokeMethod(
        this,
        [this, shown, skip] {
            if (shown && shown->isVisible())
                apply(shown, true, skip);
        },
        Qt::QueuedConnection);
    return false;
}

void X11ActivationPolicy::apply(QWindow* window, bool mapped, bool skip) const {
    xcb_connection_t* c = Xcb::qtConnection();
    if (!c || !window->handle())
        return;
    const xcb_window_t id = xcb_window_t(window->winId());
    // Atoms live as long as the server; a tool window is shown often (the floating bar at every selection).
    static const std::vector<xcb_atom_t> names =
        Xcb::internAtoms(c, {"_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"});
    const xcb_atom_t state = names[0];
    const std::array<xcb_atom_t, 2> skips = {names[1], names[2]};
    if (mapped) {
        // A mapped window's state belongs to the window manager: ask it.
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = id;
        message.type = state;
        message.data.data32[0] = skip ? 1 : 0;
        message.data.data32[1] = skips[0];
        message.data.data32[2] = skips[1];
        message.data.data32[3] = 1;
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
    } else {
        // Qt merges its own states into what is already there when it maps the window.
        std::vector<xcb_atom_t> atoms = Xcb::atomList(c, id, state);
        for (xcb_atom_t skipAtom : skips) {
            const auto it = std::find(atoms.begin(), atoms.end(), skipAtom);
            if (skip && it == atoms.end())
                atoms.push_back(skipAtom);
            else if (!skip && it != atoms.end())
                atoms.erase(it);
        }
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32, quint32(atoms.size()),
                            atoms.data());
    }
    xcb_flush(c);
}

bool X11ActivationPolicy::skipsTaskbar(const QWindow* window) {
    xcb_connection_t* c = Xcb::qtConnection();
    if (!c || !window || !window->handle())
        return false;
    const std::vector<xcb_atom_t> names = Xcb::internAtoms(c, {"_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR"});
    const std::vector<xcb_atom_t> atoms = Xcb::atomList(c, xcb_window_t(window->winId()), names[0]);
    return std::find(atoms.begin(), atoms.end(), names[1]) != atoms.end();
}

#include "platform/x11/Xcb.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cstring>
#include <qpa/qplatformscreen.h>

xcb_connection_t* Xcb::qtConnection() {
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

QPoint Xcb::nativePosition(QPoint position) {
    QScreen* screen = QGuiApplication::screenAt(position);
    if (!screen)
        return position;
    const QRect native = screen->handle() ? screen->handle()->geometry() : screen->geometry();
    const QRect logical = screen->geometry();
    const QPointF offset = position - logical.topLeft();
    return native.topLeft() + QPoint(int(offset.x() * native.width() / std::max(1, logical.width())),
                                     int(offset.y() * native.height() / std::max(1, logical.height())));
}

void Xcb::flushQtConnection() {
    if (xcb_connection_t* connection = qtConnection())
        xcb_flush(connection);
}

std::vector<xcb_intern_atom_cookie_t> Xcb::requestAtoms(xcb_connection_t* connection,
                                                        const std::vector<const char*>& names) {
    std::vector<xcb_intern_atom_cookie_t> cookies;
    cookies.reserve(names.size());
    for (const char* name : names)
        cookies.push_back(xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name));
    return cookies;
}

std::vector<xcb_atom_t> Xcb::atomReplies(xcb_connection_t* connection,
                                         const std::vector<xcb_intern_atom_cookie_t>& cookies) {
    std::vector<xcb_atom_t> atoms;
    atoms.reserve(cookies.size());
    for (const xcb_intern_atom_cookie_t& cookie : cookies) {
        const XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection, cookie, nullptr));
        atoms.push_back(reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE));
    }
    return atoms;
}

std::vector<xcb_atom_t> Xcb::atomList(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property) {
    std::vector<xcb_atom_t> atoms;
    const XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, XCB_ATOM_ATOM, 0, 1024), nullptr));
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto* data = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
        atoms.assign(data, data + xcb_get_property_value_length(reply.get()) / 4);
    }
    return atoms;
}

#include "menubar/TrayIconGeometry.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QWidget>
#include <cstdlib>
#include <xcb/xcb.h>

namespace {

xcb_connection_t* connection() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

} // namespace

QWidget* TrayIconGeometry::embeddedIconWidget() {
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window->inherits("QSystemTrayIconSys"))
            return window;
    }
    return nullptr;
}

QRect TrayIconGeometry::of(const QSystemTrayIcon* icon) {
    if (!icon || !icon->isVisible())
        return {};
    QWidget* embedded = embeddedIconWidget();
    xcb_connection_t* c = connection();
    if (!embedded || !c || !embedded->isVisible())
        return icon->geometry();
    const xcb_setup_t* setup = xcb_get_setup(c);
    const xcb_window_t root = xcb_setup_roots_iterator(setup).data->root;
    xcb_translate_coordinates_reply_t* reply = xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, xcb_window_t(embedded->winId()), root, 0, 0), nullptr);
    if (!reply)
        return icon->geometry();
    const qreal ratio = embedded->devicePixelRatioF();
    const QRect result(QPoint(int(reply->dst_x / ratio), int(reply->dst_y / ratio)), embedded->size());
    std::free(reply);
    return result;
}

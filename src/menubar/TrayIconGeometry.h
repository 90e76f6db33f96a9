#pragma once

#include <QRect>

class QSystemTrayIcon;
class QWidget;

// Where the tray icon really is on screen. An icon embedded in an X11 tray is reparented into the tray's
// window behind the toolkit's back, so the toolkit reports its place inside that window; the X server
// knows the real one.
class TrayIconGeometry {
public:
    // Empty when the icon is not on screen or no tray reports it.
    static QRect of(const QSystemTrayIcon* icon);
    // The window of an icon embedded in an X11 tray; null when the tray is of another kind.
    static QWidget* embeddedIconWidget();
};

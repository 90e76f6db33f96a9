#pragma once

#include <QObject>
#include <QPoint>
#include <optional>

class QWidget;

// Our own windows as the window system sees them: whether a compositing manager draws the desktop, the
// workspaces (virtual desktops) a window is on, and where a window really is on screen.
class WindowSystem : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Whether translucent windows really show what lies behind them.
    virtual bool isCompositing() = 0;
    // Puts a top-level window on every workspace: sticky, on desktop 0xFFFFFFFF.
    virtual void showOnAllWorkspaces(QWidget* window) = 0;
    virtual bool isOnAllWorkspaces(QWidget* window) const = 0;
    // The top-left corner of a top-level window on screen as the window server knows it, for a window
    // reparented behind the toolkit's back (a tray icon in its tray); none when it cannot tell.
    virtual std::optional<QPoint> screenPosition(QWidget* window) const = 0;
    // Our top-level window that shows at a point of the screen (global coordinates), the tray icon embedded
    // in a tray included; null where the point shows another program's window, be it over one of ours, or
    // where ours there is minimised.
    virtual QWidget* ownWindowAt(QPoint position) const = 0;
    // Asks the window manager to offer moving and closing a top-level window of fixed size and nothing
    // else (no minimising, maximising or full screen), beyond what the window's flags already say. Before
    // the window is first shown.
    virtual void offerOnlyClosing(QWidget* window) = 0;
};

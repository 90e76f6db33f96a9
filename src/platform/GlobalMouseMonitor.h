#pragma once

#include <QObject>
#include <QPoint>

#include <functional>

// One left-button event, or a right-button press, seen anywhere on the desktop, in global
// device-independent coordinates.
struct GlobalMouseEvent {
    enum class Type { LeftMouseDown, LeftMouseUp, LeftMouseDragged, RightMouseDown };
    Type type = Type::LeftMouseDown;
    QPoint position;
    // 1 for a single press, 2 for a double click, 3 for a triple click (desktop interval and distance).
    // Only left presses are counted; a right press is always 1.
    int clickCount = 1;
    qint64 timestampMs = 0;
};

// Watches the left mouse button, and presses of the right one, in every application. Motion is only
// listened to while the left button is held, so an idle mouse costs nothing.
class GlobalMouseMonitor : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const GlobalMouseEvent&)>;
    using QObject::QObject;

    // Returns false when the display offers no global monitoring.
    virtual bool start(Handler handler) = 0;
    virtual void stop() = 0;
    virtual bool isRunning() const = 0;
};

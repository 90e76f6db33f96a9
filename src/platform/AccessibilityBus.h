#pragma once

#include <QObject>
#include <QPoint>

#include <functional>
#include <limits>
#include <optional>

// What the desktop's accessibility bus says about the element that has the keyboard focus.
struct FocusedElement {
    // A password field (or anything else marked as protected): its text is never read.
    bool isProtected = false;
    bool isEditable = false;
};

// The desktop's accessibility bus, asked about the focused element of an application.
class AccessibilityBus : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(std::optional<FocusedElement>)>;
    using QObject::QObject;

    // The position of a question that no pointer gesture made (a key press): the focus is taken as it is.
    static constexpr QPoint NoGesture{std::numeric_limits<int>::min(), std::numeric_limits<int>::min()};

    // Asks about the focused element of the application with process id `processId`, for a gesture that
    // began at `position` (screen coordinates). The handler runs exactly once on the main thread, on a
    // later turn of the event loop; no value when no bus answers within `timeoutMs` or the application is
    // not on it.
    virtual void queryFocusedElement(qint64 processId, QPoint position, int timeoutMs, Handler handler) = 0;
};

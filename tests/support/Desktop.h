#pragma once

#include <QByteArray>
#include <QList>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// Driving the X display as a user would, for the end-to-end tests. The tools (xdotool, xclip, xwininfo)
// run while the event loop keeps going, so selections this process owns are served meanwhile.
namespace Desktop {

// Runs xdotool with `arguments`; whether it succeeded.
bool xdotool(const QStringList& arguments);
QStringList moveTo(QPoint point);
// Moves the pointer to `point` and clicks `button` `count` times in a user's rhythm (a double or triple
// click for 2 or 3). The motion reaches the window before the press, as X keeps them in order.
bool clickAt(QPoint point, int button = 1, int count = 1);
// The content of selection `name` ("primary" or "clipboard") as `target` (text by default).
QByteArray selection(const QString& name, const QString& target = {});
// Triple-clicks the line at each of `points` in turn until PRIMARY holds `expected`, e.g. a translation in
// a view whose exact layout a test does not know; `selected` receives the last text read.
bool selectLineUntil(const QList<QPoint>& points, const QString& expected, QString* selected = nullptr,
                     int timeoutMs = 20000);

// Visible windows whose title matches `nameRegex`, of any program.
QList<quint32> windowsNamed(const QString& nameRegex);
// The client area's top-left corner on the screen, as the X server has it.
std::optional<QPoint> clientOrigin(quint32 window);
// Whether some client holds the whole keyboard (an open menu does, once on screen): a further client's
// attempt to take it is then refused.
bool keyboardIsGrabbed();
// Activates `window` until the window manager reports it active, so that keys go there.
bool waitForActiveWindow(quint32 window, int timeoutMs = 20000);

// Waits until `sample` gives the same value, not empty, for `quietMs` in a row: a window placed, a picture
// drawn. Returns that value, or nothing when it did not settle within `timeoutMs`.
std::optional<QByteArray> waitUntilSettled(const std::function<QByteArray()>& sample, int quietMs = 150,
                                           int timeoutMs = 20000);
// Whether `condition` holds throughout the next `ms` milliseconds; false at its first lapse. For what must
// not happen where no event says that it would have happened by now.
bool holdsFor(const std::function<bool()>& condition, int ms);

} // namespace Desktop

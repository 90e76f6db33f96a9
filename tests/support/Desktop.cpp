#include "Desktop.h"

#include "TestUtils.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <cstdlib>
#include <xcb/xcb.h>

namespace Desktop {

bool xdotool(const QStringList& arguments) {
    return runTool(QStringLiteral("xdotool"), arguments).has_value();
}

QStringList moveTo(QPoint point) {
    return {QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y())};
}

bool clickAt(QPoint point, int button, int count) {
    QStringList arguments = moveTo(point) << QStringLiteral("click");
    if (count > 1)
        arguments << QStringLiteral("--repeat") << QString::number(count) << QStringLiteral("--delay")
                  << QStringLiteral("70");
    return xdotool(arguments << QString::number(button));
}

QByteArray selection(const QString& name, const QString& target) {
    QStringList arguments{QStringLiteral("-o"), QStringLiteral("-selection"), name};
    if (!target.isEmpty())
        arguments << QStringLiteral("-t") << target;
    return runTool(QStringLiteral("xclip"), arguments).value_or(QByteArray());
}

bool selectLineUntil(const QList<QPoint>& points, const QString& expected, QString* selected, int timeoutMs) {
    qsizetype attempt = 0;
    QString text;
    const bool found = waitUntil(
        [&] {
            clickAt(points[attempt++ % points.size()], 1, 3);
            text = QString::fromUtf8(selection(QStringLiteral("primary"))).trimmed();
            return text == expected;
        },
        timeoutMs);
    if (selected)
        *selected = text;
    return found;
}

QList<quint32> windowsNamed(const QString& nameRegex) {
    QList<quint32> ids;
    const std::optional<QByteArray> output =
        runTool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                            QStringLiteral("--name"), nameRegex});
    for (const QByteArray& line : output.value_or(QByteArray()).split('\n')) {
        bool ok = false;
        const quint32 id = line.trimmed().toUInt(&ok);
        if (ok)
            ids.append(id);
    }
    return ids;
}

std::optional<QPoint> clientOrigin(quint32 window) {
    const std::optional<QByteArray> info =
        runTool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)});
    std::optional<int> x;
    std::optional<int> y;
    for (const QByteArray& line : info.value_or(QByteArray()).split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith("Absolute upper-left X:"))
            x = trimmed.mid(trimmed.indexOf(':') + 1).trimmed().toInt();
        else if (trimmed.startsWith("Absolute upper-left Y:"))
            y = trimmed.mid(trimmed.indexOf(':') + 1).trimmed().toInt();
    }
    if (!x || !y)
        return std::nullopt;
    return QPoint(*x, *y);
}

bool waitForActiveWindow(quint32 window, int timeoutMs) {
    const QString id = QString::number(window);
    return waitUntil(
        [&] {
            xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), id});
            return runTool(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")})
                       .value_or(QByteArray())
                       .trimmed() == id.toLatin1();
        },
        timeoutMs);
}

std::optional<QByteArray> waitUntilSettled(const std::function<QByteArray()>& sample, int quietMs,
                                           int timeoutMs) {
    std::optional<QByteArray> last;
    QElapsedTimer unchanged;
    const bool settled = waitUntil(
        [&] {
            const QByteArray now = sample();
            if (now.isEmpty() || now != last) {
                last = now.isEmpty() ? std::nullopt : std::optional<QByteArray>(now);
                unchanged.start();
                return false;
            }
            return unchanged.elapsed() >= quietMs;
        },
        timeoutMs);
    return settled ? last : std::nullopt;
}

bool keyboardIsGrabbed() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return false;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_grab_keyboard_reply_t* reply = xcb_grab_keyboard_reply(
        connection,
        xcb_grab_keyboard(connection, 0, root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
        nullptr);
    const bool held = reply && reply->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
    std::free(reply);
    xcb_ungrab_keyboard(connection, XCB_CURRENT_TIME);
    xcb_disconnect(connection);
    return held;
}

bool holdsFor(const std::function<bool()>& condition, int ms) {
    const QDeadlineTimer deadline(ms);
    bool holds = true;
    waitUntil(
        [&] {
            holds = condition();
            return !holds || deadline.hasExpired();
        },
        ms + 10000);
    return holds;
}

} // namespace Desktop

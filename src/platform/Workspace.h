#pragma once

#include <functional>

#include <QIcon>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QUrl>

#include <optional>

struct RunningApplication {
    quint32 windowId = 0;
    qint64 processId = 0;
    // Desktop-entry id (e.g. "org.gnome.TextEditor"), else the lower-cased window class.
    QString bundleIdentifier;
    QString localizedName;
    // Path of the .desktop file, when one was found.
    QString bundlePath;
};

// The running applications and the one in front.
class Workspace : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual std::optional<RunningApplication> frontmostApplication() const = 0;
    // The application window at a point of the screen (global coordinates), for a pointer gesture: only
    // when the point lies in the client area of an application's normal window, not on the desktop, a
    // dock or panel, a window manager's frame or the bare screen.
    virtual std::optional<RunningApplication> applicationWindowAt(QPoint position) const {
        Q_UNUSED(position);
        return frontmostApplication();
    }
    // The application whose window receives key events now; none when that cannot be told.
    virtual std::optional<RunningApplication> keyboardFocusApplication() const { return frontmostApplication(); }
    // Regular applications with a window on the taskbar.
    virtual QList<RunningApplication> runningApplications() const = 0;
    virtual QIcon iconForApplication(const RunningApplication& app) const = 0;
    // Opens the URL in the application the desktop chooses; `done`, if given, later learns whether one
    // took it.
    virtual void openUrl(const QUrl& url, std::function<void(bool opened)> done = {}) = 0;
};

#pragma once

#include <QIcon>
#include <QList>
#include <QObject>
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
    // Regular applications with a window on the taskbar.
    virtual QList<RunningApplication> runningApplications() const = 0;
    virtual QIcon iconForApplication(const RunningApplication& app) const = 0;
    // The installed application with this bundle identifier (name and entry path), whether it runs or
    // not; none when nothing installed carries the id.
    virtual std::optional<RunningApplication> installedApplication(const QString& bundleIdentifier) const {
        Q_UNUSED(bundleIdentifier);
        return std::nullopt;
    }
    virtual bool openUrl(const QUrl& url) = 0;
};

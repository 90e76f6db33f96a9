#pragma once

#include "platform/Workspace.h"
#include "platform/x11/DesktopEntryIndex.h"

#include <QHash>
#include <QStringList>
#include <cstdint>
#include <future>

struct xcb_connection_t;

// The applications of an X11 desktop, as the window manager lists them (EWMH), named and iconed from
// their desktop entries.
class X11Workspace : public Workspace {
    Q_OBJECT
public:
    // The desktop entries under `applicationDirs` are indexed once, off the main thread, starting now.
    explicit X11Workspace(QStringList applicationDirs = DesktopEntryIndex::standardApplicationDirs(),
                          QObject* parent = nullptr);
    ~X11Workspace() override;

    std::optional<RunningApplication> frontmostApplication() const override;
    QList<RunningApplication> runningApplications() const override;
    QIcon iconForApplication(const RunningApplication& app) const override;
    std::optional<RunningApplication> installedApplication(const QString& bundleIdentifier) const override;
    bool openUrl(const QUrl& url) override;

private:
    struct WindowInfo;
    const DesktopEntryIndex& index() const;
    std::uint32_t atom(const char* name) const;
    std::uint32_t rootWindow() const;
    RunningApplication describe(const WindowInfo& window) const;

    mutable std::shared_future<DesktopEntryIndex> m_index;
    mutable QHash<QByteArray, std::uint32_t> m_atoms;
};

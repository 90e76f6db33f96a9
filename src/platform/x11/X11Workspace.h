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
    // The desktop entries under `applicationDirs` are indexed once, off the main thread, starting now,
    // through the cache file at `cachePath` (none when empty).
    explicit X11Workspace(QStringList applicationDirs = DesktopEntryIndex::standardApplicationDirs(),
                          QString cachePath = DesktopEntryIndex::standardCachePath(), QObject* parent = nullptr);
    ~X11Workspace() override;

    std::optional<RunningApplication> frontmostApplication() const override;
    std::optional<RunningApplication> applicationWindowAt(QPoint position) const override;
    std::optional<RunningApplication> keyboardFocusApplication() const override;
    QList<RunningApplication> runningApplications() const override;
    QIcon iconForApplication(const RunningApplication& app) const override;
    void openUrl(const QUrl& url, std::function<void(bool opened)> done = {}) override;

private:
    struct WindowInfo;
    const DesktopEntryIndex& index() const;
    std::uint32_t atom(const char* name) const;
    std::uint32_t rootWindow() const;
    RunningApplication describe(const WindowInfo& window) const;
    // The questions that describe a window, asked ahead so their answers share a round trip with others.
    struct DescriptionCookies;
    DescriptionCookies askDescription(std::uint32_t window) const;
    RunningApplication describeWindow(std::uint32_t window, const DescriptionCookies& cookies) const;
    RunningApplication describeWindow(std::uint32_t window) const;
    bool hasWmState(std::uint32_t window) const;
    // The application window at a point in native root coordinates (see applicationWindowAt).
    std::optional<RunningApplication> applicationWindowAtNative(QPoint native) const;
    // The client window (the one a window manager marks with WM_STATE) that holds `window`.
    std::uint32_t clientWindowOf(std::uint32_t window) const;

    mutable std::shared_future<DesktopEntryIndex> m_index;
    mutable QHash<QByteArray, std::uint32_t> m_atoms;
};

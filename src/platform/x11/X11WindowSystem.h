#pragma once

#include "platform/WindowSystem.h"

#include <cstdint>
#include <optional>

// The window system of an X11 desktop: the compositing manager's selection, EWMH desktops and states,
// and the server's coordinates. Off X11 it answers as a desktop that composes windows itself.
class X11WindowSystem : public WindowSystem {
    Q_OBJECT
public:
    using WindowSystem::WindowSystem;
    ~X11WindowSystem() override;

    bool isCompositing() override;
    void showOnAllWorkspaces(QWidget* window) override;
    bool isOnAllWorkspaces(QWidget* window) const override;
    std::optional<QPoint> screenPosition(QWidget* window) const override;
    QWidget* ownWindowAt(QPoint position) const override;
    void offerOnlyClosing(QWidget* window) override;

private:
    std::uint32_t m_compositorSelection = 0;
    std::optional<bool> m_compositing;
    // The sequence number of the question about the compositor sent for the next call.
    std::optional<unsigned int> m_compositorAsked;
};

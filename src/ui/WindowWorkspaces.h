#pragma once

class QWidget;

// Puts a top-level window on every workspace (virtual desktop) of an EWMH window manager: sticky, on
// desktop 0xFFFFFFFF. Does nothing off X11.
class WindowWorkspaces {
public:
    static void showOnAllWorkspaces(QWidget* window);
    // Whether the window is on desktop 0xFFFFFFFF or sticky.
    static bool isOnAllWorkspaces(QWidget* window);
};

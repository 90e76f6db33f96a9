#pragma once

class QWidget;

// Puts a top-level window on every workspace (virtual desktop) of an EWMH window manager: sticky, on
// desktop 0xFFFFFFFF. Does nothing off X11.
class WindowWorkspaces {
public:
    static void showOnAllWorkspaces(QWidget* window);
    // What the window manager was told (or, for an unmapped window, will read when it is mapped).
    static bool isOnAllWorkspaces(QWidget* window);
};

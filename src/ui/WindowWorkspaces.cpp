#include "ui/WindowWorkspaces.h"

#include "platform/Platform.h"
#include "platform/WindowSystem.h"

void WindowWorkspaces::showOnAllWorkspaces(QWidget* window) {
    if (hasPlatform())
        platform().windowSystem().showOnAllWorkspaces(window);
}

bool WindowWorkspaces::isOnAllWorkspaces(QWidget* window) {
    return hasPlatform() && platform().windowSystem().isOnAllWorkspaces(window);
}

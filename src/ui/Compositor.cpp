#include "ui/Compositor.h"

#include "platform/Platform.h"
#include "platform/WindowSystem.h"

bool Compositor::isRunning() {
    return !hasPlatform() || platform().windowSystem().isCompositing();
}

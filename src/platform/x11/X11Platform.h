#pragma once

#include "platform/Platform.h"

// The operating-system services of an X11 desktop.
class X11Platform : public Platform {
public:
    X11Platform();
    ~X11Platform() override;

    std::unique_ptr<AudioPlayer> createAudioPlayer() const override;
    std::unique_ptr<GlobalMouseMonitor> createGlobalMouseMonitor() const override;
};

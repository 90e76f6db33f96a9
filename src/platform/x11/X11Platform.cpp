#include "platform/x11/X11Platform.h"

#include "platform/AudioPlayer.h"

X11Platform::X11Platform() {
}

X11Platform::~X11Platform() = default;

std::unique_ptr<AudioPlayer> X11Platform::createAudioPlayer() const {
    return nullptr;
}

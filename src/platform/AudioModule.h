#pragma once

#include "platform/AudioPlayer.h"

#include <QString>
#include <memory>

// Speech playback lives in a module of its own (Qt Multimedia and its decoders weigh megabytes and
// start-up time), loaded the first time a clip is played.
class AudioModule {
public:
    // Next to the executable, as the build and an installation place it.
    static QString defaultPath();

    // Whether the module at the path loads and has its entry points (logged when not).
    static bool load(const QString& modulePath = defaultPath());
    // A player, or null when the module cannot be loaded or there is no output device (logged).
    static std::unique_ptr<AudioPlayer> createPlayer(const QString& modulePath = defaultPath());
};

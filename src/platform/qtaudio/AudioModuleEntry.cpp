// The entry points of the speech module, which alone links Qt Multimedia and its codec chain; the
// application loads it on the first playback.
#include "platform/qtaudio/QtAudioPlayer.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT bool quilloraAudioHasOutputDevice() {
    return QtAudioPlayer::hasOutputDevice();
}

extern "C" Q_DECL_EXPORT AudioPlayer* quilloraAudioCreatePlayer() {
    return new QtAudioPlayer;
}

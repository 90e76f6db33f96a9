#include "ui/SpeechToggle.h"

#include "platform/MainQueue.h"
#include "services/TTSSource.h"
#include "services/TextToSpeechService.h"

void toggleSpeech(TTSSource source, const QString& text, const QString& language) {
    TextToSpeechService& tts = TextToSpeechService::shared();
    if (!tts.isPlaying(source)) {
        tts.speak(text, language, false, source);
        return;
    }
    if (AudioPlayer* player = tts.audioPlayer())
        player->stop();
    MainQueue::async([] { TextToSpeechService::shared().resetPlaybackState(); });
}

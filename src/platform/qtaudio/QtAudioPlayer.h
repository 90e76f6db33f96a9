#pragma once

#include "platform/AudioPlayer.h"

#include <QBuffer>
#include <QMediaPlayer>
#include <QTimer>

class QAudioOutput;

// Plays one clip held in memory through Qt Multimedia. A machine without an output device, a clip the
// decoders refuse and a pipeline that never gets going all end in `failed`, never in a wait that does
// not end.
class QtAudioPlayer : public AudioPlayer {
    Q_OBJECT
public:
    explicit QtAudioPlayer(QObject* parent = nullptr);
    ~QtAudioPlayer() override;

    bool play(const QByteArray& encodedAudio) override;
    void stop() override;
    bool isPlaying() const override { return m_active; }

    static bool hasOutputDevice();
    // Tests on machines without sound: let the decoders run anyway (their output goes nowhere).
    static void setRequireOutputDeviceForTesting(bool required);

private:
    void onMediaStatusChanged(QMediaPlayer::MediaStatus status);
    void onError(QMediaPlayer::Error error, const QString& message);
    void onDurationChanged(qint64 durationMs);
    void fail(const QString& message);
    void release();

    QByteArray m_data;
    QBuffer m_buffer;
    QMediaPlayer* m_player;
    QAudioOutput* m_output;
    // One-shot: playback that neither starts nor ends in reasonable time is reported as failed.
    QTimer m_watchdog;
    bool m_active = false;
};

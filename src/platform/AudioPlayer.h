#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// Plays one encoded audio clip held in memory.
class AudioPlayer : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Starts playing `encodedAudio`. Returns false when playback cannot start; `failed` then follows.
    virtual bool play(const QByteArray& encodedAudio) = 0;
    virtual void stop() = 0;
    virtual bool isPlaying() const = 0;

Q_SIGNALS:
    // Playback reached the end (not sent after stop()).
    void finished();
    void failed(const QString& message);
};

#pragma once

#include "platform/AudioPlayer.h"
#include "platform/MainQueue.h"
#include "platform/Result.h"
#include "services/TTSSource.h"
#include "services/TranslationError.h"
#include "services/WebApiClient.h"

#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

// Reads text aloud: fetches speech audio from the web API and plays it. One speech at a time; a new
// one replaces the current one. Failures are kept in `error` and never reach the caller; `failed` names
// the object that asked for the failed speech, so that the view whose button it was can say so.
class TextToSpeechService : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isPlaying READ isPlaying NOTIFY isPlayingChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(QString error READ error NOTIFY errorChanged)
    Q_PROPERTY(TTSSource activeSource READ activeSource NOTIFY activeSourceChanged)
public:
    static constexpr int timeoutMs = WebApiClient::defaultTimeoutMs;
    // Between stopping a clip and asking for the next, so the two never overlap on the device.
    static constexpr int stopSettleMs = 300;

    static TextToSpeechService& shared();

    bool isPlaying() const { return m_isPlaying; }
    // True only while audio of `source` is playing; fetching does not count.
    bool isPlaying(TTSSource source) const { return m_isPlaying && m_activeSource == source; }
    bool isLoading() const { return m_isLoading; }
    // The last failure's text; empty when the last speech went well.
    QString error() const { return m_error; }
    TTSSource activeSource() const { return m_activeSource; }
    // The player of the current speech; null when there is none. Sending it stop() stops the audio.
    AudioPlayer* audioPlayer() const { return m_player.get(); }

    // Nothing for an empty text. Stops audio that is playing (and waits stopSettleMs), then fetches
    // speech for `text` in `language` and plays it for `source`. A newer speak() or stop() drops
    // whatever an older one still had under way. `requester` is handed back by `failed`.
    void speak(const QString& text, const QString& language, bool slow, TTSSource source,
               QObject* requester = nullptr);
    // isPlaying false, activeSource unknown.
    void resetPlaybackState();
    // Stops the audio and drops a speech still being fetched.
    void stop();

Q_SIGNALS:
    void isPlayingChanged(bool isPlaying);
    void isLoadingChanged(bool isLoading);
    void errorChanged(const QString& error);
    void activeSourceChanged(TTSSource source);
    // The current speech failed (after `error` took its reason); `message` says so to the user.
    // `requester` is the one given to speak(), null when it is gone or none was given.
    void failed(QObject* requester, const QString& message);

private:
    TextToSpeechService();

    void fetch(quint64 generation, const QString& text, const QString& language, bool slow, TTSSource source);
    void onAnswer(quint64 generation, TTSSource source, const Result<QJsonObject, TranslationError>& result);
    void play(const QByteArray& audio, TTSSource source);
    void onPlaybackEnded();
    void fail(const QString& message);
    void cancelPending();
    void releasePlayer();

    void setPlaying(bool value);
    void setLoading(bool value);
    void setError(const QString& value);
    void setActiveSource(TTSSource value);

    bool m_isPlaying = false;
    bool m_isLoading = false;
    QString m_error;
    TTSSource m_activeSource = TTSSource::Unknown;
    std::unique_ptr<AudioPlayer> m_player;
    QPointer<QObject> m_requester;

    // Each speak() and stop() starts a new generation; answers of older ones are dropped.
    quint64 m_generation = 0;
    RequestId m_request = 0;
    MainQueueTimer m_settleTimer;
};

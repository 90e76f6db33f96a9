#include "services/TextToSpeechService.h"

#include "platform/DebugLog.h"
#include "platform/Platform.h"
#include "platform/UserDefaults.h"

#include <QJsonValue>

namespace {

const QString kTag = QStringLiteral("TextToSpeechService");
const QString kPath = QStringLiteral("/api/tts");

// Speech belongs to whatever the user last translated from.
QString triggerSource() {
    const QString stored = UserDefaults::standard().string(QStringLiteral("last_trigger_source"));
    return stored.isEmpty() ? QStringLiteral("menu") : stored;
}

} // namespace

TextToSpeechService& TextToSpeechService::shared() {
    static TextToSpeechService* instance = new TextToSpeechService;
    return *instance;
}

TextToSpeechService::TextToSpeechService() = default;

void TextToSpeechService::speak(const QString& text, const QString& language, bool slow, TTSSource source,
                                QObject* requester) {
    if (text.isEmpty())
        return;
    const quint64 generation = ++m_generation;
    cancelPending();
    m_requester = requester;

    const bool audioPlaying = m_isPlaying || (m_player && m_player->isPlaying());
    if (!audioPlaying) {
        fetch(generation, text, language, slow, source);
        return;
    }
    if (m_player)
        m_player->stop();
    resetPlaybackState();
    m_settleTimer.schedule(stopSettleMs, [this, generation, text, language, slow, source] {
        if (generation == m_generation)
            fetch(generation, text, language, slow, source);
    });
}

void TextToSpeechService::fetch(quint64 generation, const QString& text, const QString& language, bool slow,
                                TTSSource source) {
    setError(QString());
    setLoading(true);
    debugLog(kTag, QStringLiteral("🔊 Ses isteniyor (%1, %2)").arg(language, rawValue(source)));
    const QJsonObject body{{QStringLiteral("text"), text},
                           {QStringLiteral("language"), language},
                           {QStringLiteral("slow"), slow}};
    m_request = WebApiClient::shared().post(
        kPath, body, triggerSource(), QStringLiteral("tts"), timeoutMs,
        [this, generation, source](Result<QJsonObject, TranslationError> result) {
            onAnswer(generation, source, result);
        },
        this);
}

void TextToSpeechService::onAnswer(quint64 generation, TTSSource source,
                                   const Result<QJsonObject, TranslationError>& result) {
    if (generation != m_generation)
        return;
    m_request = 0;
    setLoading(false);
    if (!result) {
        fail(result.error().localizedDescription());
        return;
    }
    const QJsonValue content = result.value().value(QStringLiteral("audioContent"));
    const auto decoded = QByteArray::fromBase64Encoding(content.toString().toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!content.isString() || !decoded || decoded.decoded.isEmpty()) {
        fail(TranslationError::decodingError().localizedDescription());
        return;
    }
    play(decoded.decoded, source);
}

void TextToSpeechService::play(const QByteArray& audio, TTSSource source) {
    releasePlayer();
    std::unique_ptr<AudioPlayer> player = platform().createAudioPlayer();
    if (!player) {
        fail(QStringLiteral("No audio output device"));
        return;
    }
    AudioPlayer* raw = player.get();
    connect(raw, &AudioPlayer::finished, this, [this, raw] {
        if (m_player.get() == raw)
            onPlaybackEnded();
    });
    connect(raw, &AudioPlayer::failed, this, [this, raw](const QString& message) {
        if (m_player.get() == raw)
            fail(QStringLiteral("Audio playback failed: ") + message);
    });
    m_player = std::move(player);
    if (!raw->play(audio)) {
        fail(QStringLiteral("Audio playback failed"));
        return;
    }
    debugLog(kTag, QStringLiteral("▶️ Çalıyor (%1)").arg(rawValue(source)));
    setActiveSource(source);
    setPlaying(true);
}

void TextToSpeechService::onPlaybackEnded() {
    debugLog(kTag, QStringLiteral("⏹️ Bitti"));
    resetPlaybackState();
    releasePlayer();
}

void TextToSpeechService::fail(const QString& message) {
    debugLog(kTag, QStringLiteral("❌ ") + message);
    setLoading(false);
    resetPlaybackState();
    releasePlayer();
    setError(message);
    Q_EMIT failed(m_requester, QStringLiteral("Speech failed: ") + message);
}

void TextToSpeechService::resetPlaybackState() {
    setPlaying(false);
    setActiveSource(TTSSource::Unknown);
}

void TextToSpeechService::stop() {
    ++m_generation;
    cancelPending();
    if (m_player)
        m_player->stop();
    setLoading(false);
    resetPlaybackState();
}

void TextToSpeechService::cancelPending() {
    m_settleTimer.cancel();
    if (m_request) {
        WebApiClient::shared().cancel(m_request);
        m_request = 0;
    }
}

void TextToSpeechService::releasePlayer() {
    if (!m_player)
        return;
    // May run inside one of the player's own signals.
    AudioPlayer* old = m_player.release();
    old->disconnect(this);
    if (old->isPlaying())
        old->stop();
    old->deleteLater();
}

void TextToSpeechService::setPlaying(bool value) {
    if (m_isPlaying == value)
        return;
    m_isPlaying = value;
    Q_EMIT isPlayingChanged(value);
}

void TextToSpeechService::setLoading(bool value) {
    if (m_isLoading == value)
        return;
    m_isLoading = value;
    Q_EMIT isLoadingChanged(value);
}

void TextToSpeechService::setError(const QString& value) {
    if (m_error == value)
        return;
    m_error = value;
    Q_EMIT errorChanged(value);
}

void TextToSpeechService::setActiveSource(TTSSource value) {
    if (m_activeSource == value)
        return;
    m_activeSource = value;
    Q_EMIT activeSourceChanged(value);
}

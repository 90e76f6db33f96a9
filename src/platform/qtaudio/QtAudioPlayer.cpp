#include "platform/qtaudio/QtAudioPlayer.h"

#include "platform/DebugLog.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QMediaDevices>
#include <QUrl>
#include <limits>

namespace {

constexpr int startTimeoutMs = 10000;
// Beyond the clip's own length, before a stalled playback counts as failed.
constexpr int endMarginMs = 5000;

// The backends pick a demuxer from the source name; name the clip after what its bytes look like.
QUrl sourceNameFor(const QByteArray& data) {
    if (data.startsWith("RIFF") && data.mid(8, 4) == "WAVE")
        return QUrl(QStringLiteral("speech.wav"));
    if (data.startsWith("OggS"))
        return QUrl(QStringLiteral("speech.ogg"));
    return QUrl(QStringLiteral("speech.mp3"));
}

bool requireOutputDevice = true;

} // namespace

QtAudioPlayer::QtAudioPlayer(QObject* parent)
    : AudioPlayer(parent)
    , m_player(new QMediaPlayer(this))
    , m_output(new QAudioOutput(this)) {
    m_player->setAudioOutput(m_output);
    m_watchdog.setSingleShot(true);
    connect(&m_watchdog, &QTimer::timeout, this, [this] { fail(QStringLiteral("Audio playback stalled")); });
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, &QtAudioPlayer::onMediaStatusChanged);
    connect(m_player, &QMediaPlayer::errorOccurred, this, &QtAudioPlayer::onError);
    connect(m_player, &QMediaPlayer::durationChanged, this, &QtAudioPlayer::onDurationChanged);
}

QtAudioPlayer::~QtAudioPlayer() {
    m_active = false;
    m_player->disconnect(this);
    m_player->stop();
    // The pipeline reads the buffer until the player is gone: the player goes first, not after the
    // members as a child would.
    m_player->setSourceDevice(nullptr);
    delete m_player;
    delete m_output;
}

void QtAudioPlayer::setRequireOutputDeviceForTesting(bool required) {
    requireOutputDevice = required;
}

bool QtAudioPlayer::hasOutputDevice() {
    return !QMediaDevices::audioOutputs().isEmpty();
}

bool QtAudioPlayer::play(const QByteArray& encodedAudio) {
    if (m_active)
        stop();
    auto refuse = [this](const QString& message) {
        QMetaObject::invokeMethod(
            this, [this, message] { Q_EMIT failed(message); }, Qt::QueuedConnection);
        return false;
    };
    if (encodedAudio.isEmpty())
        return refuse(QStringLiteral("No audio data"));
    if (requireOutputDevice && !hasOutputDevice())
        return refuse(QStringLiteral("No audio output device"));

    release();
    m_data = encodedAudio;
    m_buffer.setData(m_data);
    if (!m_buffer.open(QIODevice::ReadOnly))
        return refuse(QStringLiteral("Audio data cannot be read"));
    m_output->setDevice(QMediaDevices::defaultAudioOutput());
    m_active = true;
    m_player->setSourceDevice(&m_buffer, sourceNameFor(m_data));
    m_player->play();
    m_watchdog.start(startTimeoutMs);
    return true;
}

void QtAudioPlayer::stop() {
    m_active = false;
    m_watchdog.stop();
    m_player->stop();
}

void QtAudioPlayer::release() {
    m_player->setSourceDevice(nullptr);
    if (m_buffer.isOpen())
        m_buffer.close();
}

void QtAudioPlayer::onMediaStatusChanged(QMediaPlayer::MediaStatus status) {
    if (!m_active)
        return;
    switch (status) {
    case QMediaPlayer::EndOfMedia:
        m_active = false;
        m_watchdog.stop();
        Q_EMIT finished();
        break;
    case QMediaPlayer::InvalidMedia:
        fail(m_player->errorString().isEmpty() ? QStringLiteral("The audio could not be decoded")
                                               : m_player->errorString());
        break;
    default:
        break;
    }
}

void QtAudioPlayer::onError(QMediaPlayer::Error error, const QString& message) {
    if (error == QMediaPlayer::NoError)
        return;
    fail(message.isEmpty() ? QStringLiteral("Audio playback failed") : message);
}

void QtAudioPlayer::onDurationChanged(qint64 durationMs) {
    if (m_active && durationMs > 0)
        m_watchdog.start(int(qMin<qint64>(durationMs + endMarginMs, std::numeric_limits<int>::max())));
}

void QtAudioPlayer::fail(const QString& message) {
    if (!m_active)
        return;
    debugLog(QStringLiteral("QtAudioPlayer"), QStringLiteral("❌ ") + message);
    m_active = false;
    m_watchdog.stop();
    m_player->stop();
    Q_EMIT failed(message);
}

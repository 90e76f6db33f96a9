#include "FakePlatform.h"

#include "platform/MainQueue.h"
#include "platform/x11/X11WindowSystem.h"

#include <QBuffer>
#include <QTimer>

// --- FakePasteboard

PasteboardSnapshot userClipboard() {
    PasteboardSnapshot snapshot;
    snapshot.items.append({QStringLiteral("text/plain"), QByteArrayLiteral("user text")});
    snapshot.items.append({QStringLiteral("text/html"), QByteArrayLiteral("<b>user</b> text")});
    snapshot.items.append({QStringLiteral("image/png"), QByteArray("\x89PNG\r\n\x1a\nfake-image-bytes", 24)});
    return snapshot;
}

int FakePasteboard::changeCount(Mode mode) const {
    return state(mode).changeCount;
}

bool FakePasteboard::isOwnedByThisProcess(Mode mode) const {
    return state(mode).ownedByUs;
}

void FakePasteboard::write(const PasteboardSnapshot& content, Mode mode, bool ours, quint32 ownerWindow,
                           qint64 ownerProcess) {
    State& s = state(mode);
    s.content = content;
    s.ownedByUs = ours;
    s.ownerWindow = ownerWindow;
    s.ownerProcess = ownerProcess;
    ++s.changeCount;
    if (ours)
        ++m_writeCount;
    Q_EMIT changed(mode);
}

void FakePasteboard::copyKeepingOwnership(const QString& text, quint32 ownerWindow, qint64 ownerProcess) {
    PasteboardSnapshot content;
    content.items.append({QStringLiteral("text/plain"), text.toUtf8()});
    State& s = m_clipboard;
    if (s.ownedByUs || s.ownerWindow != ownerWindow || s.ownerProcess != ownerProcess)
        write(content, Mode::Clipboard, false, ownerWindow, ownerProcess);
    else
        s.content = content;
}

void FakePasteboard::clearContents() {
    write({}, Mode::Clipboard, true);
}

void FakePasteboard::setString(const QString& text) {
    PasteboardSnapshot s;
    s.items.append({QStringLiteral("text/plain"), text.toUtf8()});
    write(s, Mode::Clipboard, true);
}

void FakePasteboard::setImage(const QImage& image) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    PasteboardSnapshot s;
    s.items.append({QStringLiteral("image/png"), png});
    write(s, Mode::Clipboard, true);
}

void FakePasteboard::restore(const PasteboardSnapshot& snapshot) {
    write(snapshot, Mode::Clipboard, true);
}

void FakePasteboard::readByClient(const Request& request) {
    if (!state(request.mode).ownedByUs)
        return;
    QMetaObject::invokeMethod(this, [this, request] { Q_EMIT contentRequested(request); }, Qt::QueuedConnection);
}

void FakePasteboard::setExternalContent(const PasteboardSnapshot& content, Mode mode, quint32 ownerWindow,
                                        qint64 ownerProcess) {
    write(content, mode, false, ownerWindow, ownerProcess);
}

void FakePasteboard::setExternalString(const QString& text, Mode mode, quint32 ownerWindow,
                                       qint64 ownerProcess) {
    PasteboardSnapshot s;
    s.items.append({QStringLiteral("text/plain"), text.toUtf8()});
    write(s, mode, false, ownerWindow, ownerProcess);
}

void FakePasteboard::queryOwnedByApplication(Mode mode, quint32 windowId, qint64 processId, QObject* context,
                                             std::function<void(bool)> done) {
    // Answered as the owner is then, as over a real connection.
    MainQueue::async(
        [this, mode, windowId, processId, done] {
            const State& s = state(mode);
            done(!s.ownedByUs && windowId != 0 &&
                 (isSameClient(s.ownerWindow, windowId) ||
                  (s.ownerProcess != 0 && s.ownerProcess == processId)));
        },
        context);
}

PasteboardSnapshot FakePasteboard::contents(Mode mode) const {
    return state(mode).content;
}

QString FakePasteboard::currentString(Mode mode) const {
    const PasteboardSnapshot& c = state(mode).content;
    if (!c.hasFormat(QStringLiteral("text/plain")))
        return {};
    return QString::fromUtf8(c.data(QStringLiteral("text/plain")));
}

template <typename Result, typename Handler>
void FakePasteboard::answer(Handler handler, int timeoutMs, std::function<Result()> produce) {
    if (m_unresponsive) {
        QTimer::singleShot(timeoutMs, this, [handler] { handler(Result{}); });
        return;
    }
    // The content is read when the answer arrives, as with a real owner.
    MainQueue::async([handler, produce] { handler(produce()); }, this);
}

void FakePasteboard::readString(StringHandler handler, Mode mode, int timeoutMs) {
    answer<std::optional<QString>>(std::move(handler), timeoutMs, [this, mode]() -> std::optional<QString> {
        const PasteboardSnapshot& c = state(mode).content;
        if (!c.hasFormat(QStringLiteral("text/plain")))
            return std::nullopt;
        return QString::fromUtf8(c.data(QStringLiteral("text/plain")));
    });
}

void FakePasteboard::readImage(ImageHandler handler, int timeoutMs) {
    answer<std::optional<QImage>>(std::move(handler), timeoutMs, [this]() -> std::optional<QImage> {
        for (const auto& item : m_clipboard.content.items) {
            if (!item.first.startsWith(QLatin1String("image/")))
                continue;
            QImage image;
            if (image.loadFromData(item.second))
                return image;
        }
        return std::nullopt;
    });
}

void FakePasteboard::takeSnapshot(SnapshotHandler handler, int timeoutMs) {
    if (m_unresponsive) {
        QTimer::singleShot(timeoutMs, this, [handler] {
            PasteboardSnapshot unanswered;
            unanswered.complete = false;
            handler(unanswered);
        });
        return;
    }
    answer<PasteboardSnapshot>(std::move(handler), timeoutMs, [this] { return m_clipboard.content; });
}

// --- FakeGlobalMouseMonitor

bool FakeGlobalMouseMonitor::start(Handler handler) {
    if (!m_available)
        return false;
    m_handler = std::move(handler);
    return true;
}

void FakeGlobalMouseMonitor::stop() {
    m_handler = nullptr;
}

void FakeGlobalMouseMonitor::send(const GlobalMouseEvent& event) {
    if (m_handler)
        m_handler(event);
}

void FakeGlobalMouseMonitor::send(GlobalMouseEvent::Type type, QPoint position, int clickCount) {
    GlobalMouseEvent event;
    event.type = type;
    event.position = position;
    event.clickCount = clickCount;
    send(event);
}

// --- the small fakes

bool FakeKeyEventPoster::postKey(int qtKey, Qt::KeyboardModifiers modifiers) {
    if (!succeeds)
        return false;
    const PostedKey key{qtKey, modifiers};
    posted.append(key);
    if (onPost)
        onPost(key);
    return true;
}

void FakeWorkspace::openUrl(const QUrl& url, std::function<void(bool opened)> done) {
    openedUrls.append(url);
    if (done)
        MainQueue::async([done = std::move(done), opened = opensUrls] { done(opened); }, this);
}

void FakeScreenCapture::probeShareableContent(std::function<void(bool)> handler) {
    const bool granted = permissionGranted;
    MainQueue::async([handler = std::move(handler), granted] { handler(granted); }, this);
}

void FakeScreenCapture::captureInteractiveRegionToClipboard(std::function<void(CaptureOutcome)> handler) {
    ++captureCount;
    const std::optional<QImage> image = nextCapture;
    const bool fails = captureFails;
    MainQueue::async(
        [this, handler = std::move(handler), image, fails] {
            if (fails) {
                handler(CaptureOutcome::Failed);
                return;
            }
            if (image) {
                QByteArray png;
                QBuffer buffer(&png);
                buffer.open(QIODevice::WriteOnly);
                image->save(&buffer, "PNG");
                PasteboardSnapshot s;
                s.items.append({QStringLiteral("image/png"), png});
                m_pasteboard.setExternalContent(s);
            }
            handler(image ? CaptureOutcome::Captured : CaptureOutcome::Cancelled);
        },
        this);
}

bool FakeHotKeyService::registerHotKey(quint32 id, int keyCode, int modifiers) {
    if (isTakenBySystem(keyCode, modifiers))
        return false;
    for (auto it = registered.cbegin(); it != registered.cend(); ++it) {
        if (it.key() != id && it.value() == qMakePair(keyCode, modifiers))
            return false;
    }
    registered.insert(id, {keyCode, modifiers});
    return true;
}

bool FakeHotKeyService::isTakenBySystem(int keyCode, int modifiers) const {
    return takenBySystem.contains(qMakePair(keyCode, modifiers));
}

namespace {
// Virtual key codes of the stored shortcut format for the letters, in alphabetical order.
constexpr int kLetterKeyCodes[26] = {0x00, 0x0B, 0x08, 0x02, 0x0E, 0x03, 0x05, 0x04, 0x22, 0x26, 0x28, 0x25, 0x2E,
                                     0x2D, 0x1F, 0x23, 0x0C, 0x0F, 0x01, 0x11, 0x20, 0x09, 0x0D, 0x07, 0x10, 0x06};
} // namespace

QString FakeKeyboardLayout::characterForKeyCode(int keyCode) const {
    for (int i = 0; i < 26; ++i) {
        if (kLetterKeyCodes[i] == keyCode)
            return QString(QChar(u'a' + i));
    }
    return {};
}

std::optional<int> FakeKeyboardLayout::keyCodeForQtKey(int qtKey) const {
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return kLetterKeyCodes[qtKey - Qt::Key_A];
    return std::nullopt;
}

bool FakeLoginItem::setEnabled(bool value) {
    if (!succeeds)
        return false;
    enabled = value;
    return true;
}

void FakeActivationPolicy::setPolicy(Policy policy) {
    current = policy;
    Q_EMIT policyChanged(policy);
}

bool FakeAudioPlayer::play(const QByteArray& encodedAudio) {
    played = encodedAudio;
    if (!playSucceeds)
        return false;
    m_playing = true;
    return true;
}

void FakeAudioPlayer::stop() {
    ++stopCount;
    m_playing = false;
}

void FakeAudioPlayer::finish() {
    m_playing = false;
    Q_EMIT finished();
}

void FakeAudioPlayer::fail(const QString& message) {
    m_playing = false;
    Q_EMIT failed(message);
}

QString FakeLanguageRecognizer::dominantLanguage(const QString& text, const QStringList& hints) const {
    lastHints = hints;
    return answers.value(text, fallback);
}

void FakeAccessibilityBus::queryFocusedElement(qint64 processId, QPoint position, int timeoutMs,
                                               Handler handler) {
    askedFor << processId;
    askedAt << position;
    if (answer)
        MainQueue::async([handler, element = *answer] { handler(element); }, this);
    else
        QTimer::singleShot(timeoutMs, this, [handler] { handler(std::nullopt); });
}

// --- FakePlatform

FakePlatform::FakePlatform() {
    auto pasteboard = std::make_unique<FakePasteboard>();
    m_screenCapture = std::make_unique<FakeScreenCapture>(*pasteboard);
    m_pasteboard = std::move(pasteboard);
    m_globalMouseMonitor = std::make_unique<FakeGlobalMouseMonitor>();
    m_keyEventPoster = std::make_unique<FakeKeyEventPoster>();
    m_workspace = std::make_unique<FakeWorkspace>();
    m_accessibilityPermission = std::make_unique<FakeAccessibilityPermission>();
    m_hotKeyService = std::make_unique<FakeHotKeyService>();
    m_keyboardLayout = std::make_unique<FakeKeyboardLayout>();
    m_loginItem = std::make_unique<FakeLoginItem>();
    m_activationPolicy = std::make_unique<FakeActivationPolicy>();
    m_languageRecognizer = std::make_unique<FakeLanguageRecognizer>();
    m_deviceIdentity = std::make_unique<FakeDeviceIdentity>();
    m_accessibilityBus = std::make_unique<FakeAccessibilityBus>();
    // The real one: offscreen it answers as a desktop that composes windows, and on a display the tests
    // see their windows placed for real.
    m_windowSystem = std::make_unique<X11WindowSystem>();
}

std::unique_ptr<AudioPlayer> FakePlatform::createAudioPlayer() const {
    if (!audioPlayerAvailable)
        return nullptr;
    auto player = std::make_unique<FakeAudioPlayer>();
    player->playSucceeds = audioPlayersCanPlay;
    audioPlayers.append(player.get());
    return player;
}

std::unique_ptr<GlobalMouseMonitor> FakePlatform::createGlobalMouseMonitor() const {
    if (!mouseMonitorsAvailable)
        return nullptr;
    auto monitor = std::make_unique<FakeGlobalMouseMonitor>();
    mouseMonitors.append(monitor.get());
    return monitor;
}

FakePasteboard& FakePlatform::fakePasteboard() const { return static_cast<FakePasteboard&>(pasteboard()); }
FakeGlobalMouseMonitor& FakePlatform::fakeMouseMonitor() const {
    return static_cast<FakeGlobalMouseMonitor&>(globalMouseMonitor());
}
FakeKeyEventPoster& FakePlatform::fakeKeyPoster() const { return static_cast<FakeKeyEventPoster&>(keyEventPoster()); }
FakeWorkspace& FakePlatform::fakeWorkspace() const { return static_cast<FakeWorkspace&>(workspace()); }
FakeAccessibilityPermission& FakePlatform::fakeAccessibility() const {
    return static_cast<FakeAccessibilityPermission&>(accessibilityPermission());
}
FakeScreenCapture& FakePlatform::fakeScreenCapture() const { return static_cast<FakeScreenCapture&>(screenCapture()); }
FakeHotKeyService& FakePlatform::fakeHotKeys() const { return static_cast<FakeHotKeyService&>(hotKeyService()); }
FakeLoginItem& FakePlatform::fakeLoginItem() const { return static_cast<FakeLoginItem&>(loginItem()); }
FakeActivationPolicy& FakePlatform::fakeActivationPolicy() const {
    return static_cast<FakeActivationPolicy&>(activationPolicy());
}
FakeLanguageRecognizer& FakePlatform::fakeLanguageRecognizer() const {
    return static_cast<FakeLanguageRecognizer&>(languageRecognizer());
}
FakeAccessibilityBus& FakePlatform::fakeAccessibilityBus() const {
    return static_cast<FakeAccessibilityBus&>(*accessibilityBus());
}

FakeDeviceIdentity& FakePlatform::fakeDeviceIdentity() const {
    return static_cast<FakeDeviceIdentity&>(deviceIdentity());
}

FakePlatform& fakePlatform() {
    auto* fake = dynamic_cast<FakePlatform*>(&platform());
    if (!fake)
        qFatal("fakePlatform(): the installed platform is not the fake");
    return *fake;
}

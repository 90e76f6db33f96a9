#pragma once

#include "platform/AccessibilityBus.h"
#include "platform/AccessibilityPermission.h"
#include "platform/ActivationPolicy.h"
#include "platform/AudioPlayer.h"
#include "platform/DeviceIdentity.h"
#include "platform/GlobalMouseMonitor.h"
#include "platform/HotKeyService.h"
#include "platform/KeyEventPoster.h"
#include "platform/KeyboardLayout.h"
#include "platform/LanguageRecognizer.h"
#include "platform/LoginItem.h"
#include "platform/Pasteboard.h"
#include "platform/Platform.h"
#include "platform/ScreenCapture.h"
#include "platform/Workspace.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QUrl>

#include <functional>
#include <optional>

// What a user had copied before a gesture: text, rich text and an image, as a desktop application offers
// them.
PasteboardSnapshot userClipboard();

// In-memory clipboard. Reads answer on a later turn of the event loop, as a real owner would.
class FakePasteboard : public Pasteboard {
    Q_OBJECT
public:
    int changeCount(Mode mode = Mode::Clipboard) const override;
    bool isOwnedByThisProcess(Mode mode = Mode::Clipboard) const override;
    void clearContents() override;
    void setString(const QString& text) override;
    void setImage(const QImage& image) override;
    void restore(const PasteboardSnapshot& snapshot) override;
    void readString(StringHandler handler, Mode mode = Mode::Clipboard, int timeoutMs = DefaultTimeoutMs) override;
    void readImage(ImageHandler handler, int timeoutMs = DefaultTimeoutMs) override;
    void takeSnapshot(SnapshotHandler handler, int timeoutMs = DefaultTimeoutMs) override;

    // Another application takes ownership with this content, through its window `ownerWindow` of process
    // `ownerProcess` (0: none of the tests' applications).
    void setExternalContent(const PasteboardSnapshot& content, Mode mode = Mode::Clipboard,
                            quint32 ownerWindow = 0, qint64 ownerProcess = 0);
    void setExternalString(const QString& text, Mode mode = Mode::Clipboard, quint32 ownerWindow = 0,
                           qint64 ownerProcess = 0);
    // A copy in an application that keeps the clipboard it owns, as Tk does: while its window `ownerWindow`
    // (process `ownerProcess`) still owns it only the content changes, with no new claim; else it claims it.
    void copyKeepingOwnership(const QString& text, quint32 ownerWindow, qint64 ownerProcess);
    // While unresponsive, reads time out (after their time-out) with no value.
    void setUnresponsive(bool unresponsive) { m_unresponsive = unresponsive; }
    // Another client asks for the content we own, as a paste does (reported on a later turn, as Qt
    // answers it); nothing when we do not own it.
    void readByClient(const Request& request);
    // Windows of one client share the bits above the low 21, as X resource ids do.
    bool isSameClient(quint32 windowA, quint32 windowB) const override {
        return windowA != 0 && windowB != 0 && (windowA >> 21) == (windowB >> 21);
    }
    void queryOwnedByApplication(Mode mode, quint32 windowId, qint64 processId, QObject* context,
                                 std::function<void(bool)> done) override;

    PasteboardSnapshot contents(Mode mode = Mode::Clipboard) const;
    QString currentString(Mode mode = Mode::Clipboard) const;
    int writeCount() const { return m_writeCount; }

private:
    struct State {
        PasteboardSnapshot content;
        int changeCount = 0;
        bool ownedByUs = false;
        quint32 ownerWindow = 0;
        qint64 ownerProcess = 0;
    };
    State& state(Mode mode) { return mode == Mode::Clipboard ? m_clipboard : m_selection; }
    const State& state(Mode mode) const { return mode == Mode::Clipboard ? m_clipboard : m_selection; }
    void write(const PasteboardSnapshot& content, Mode mode, bool ours, quint32 ownerWindow = 0,
               qint64 ownerProcess = 0);
    template <typename Result, typename Handler>
    void answer(Handler handler, int timeoutMs, std::function<Result()> produce);

    State m_clipboard;
    State m_selection;
    bool m_unresponsive = false;
    int m_writeCount = 0;
};

class FakeGlobalMouseMonitor : public GlobalMouseMonitor {
    Q_OBJECT
public:
    bool start(Handler handler) override;
    void stop() override;
    bool isRunning() const override { return bool(m_handler); }

    void setAvailable(bool available) { m_available = available; }
    // Delivers an event as the system would; ignored while stopped.
    void send(const GlobalMouseEvent& event);
    void send(GlobalMouseEvent::Type type, QPoint position, int clickCount = 1);

private:
    Handler m_handler;
    bool m_available = true;
};

struct PostedKey {
    int key;
    Qt::KeyboardModifiers modifiers;
};

class FakeKeyEventPoster : public KeyEventPoster {
    Q_OBJECT
public:
    bool postKey(int qtKey, Qt::KeyboardModifiers modifiers) override;

    QList<PostedKey> posted;
    bool succeeds = true;
    // Runs after each post, e.g. to play the focused application copying its selection.
    std::function<void(const PostedKey&)> onPost;
};

class FakeWorkspace : public Workspace {
    Q_OBJECT
public:
    std::optional<RunningApplication> frontmostApplication() const override { return frontmost; }
    // The frontmost application's window, unless the pointer is over no application window.
    std::optional<RunningApplication> applicationWindowAt(QPoint) const override {
        return pointerOverApplication ? frontmost : std::nullopt;
    }
    std::optional<RunningApplication> keyboardFocusApplication() const override {
        return keyboardFocus ? keyboardFocus() : frontmost;
    }
    bool pointerOverApplication = true;
    // Where keys go; the frontmost application when unset.
    std::function<std::optional<RunningApplication>()> keyboardFocus;
    QList<RunningApplication> runningApplications() const override { return running; }
    QIcon iconForApplication(const RunningApplication& app) const override {
        return icons.value(app.bundleIdentifier);
    }
    void openUrl(const QUrl& url, std::function<void(bool opened)> done = {}) override;

    std::optional<RunningApplication> frontmost;
    QList<RunningApplication> running;
    // Icons by bundle identifier; others have none.
    QHash<QString, QIcon> icons;
    QList<QUrl> openedUrls;
    bool opensUrls = true;
};

class FakeAccessibilityPermission : public AccessibilityPermission {
    Q_OBJECT
public:
    bool isProcessTrusted() const override { return trusted; }
    void requestTrust(QWidget* over) override {
        ++requestCount;
        requestedOver = over;
    }

    bool trusted = true;
    int requestCount = 0;
    QWidget* requestedOver = nullptr;
};

class FakeScreenCapture : public ScreenCapture {
    Q_OBJECT
public:
    explicit FakeScreenCapture(FakePasteboard& pasteboard) : m_pasteboard(pasteboard) {}

    bool preflightPermission() const override { return permissionGranted; }
    void requestPermission(QWidget* over) override {
        ++permissionRequests;
        requestedOver = over;
    }
    void probeShareableContent(std::function<void(bool)> handler) override;
    void captureInteractiveRegionToClipboard(std::function<void(CaptureOutcome)> handler) override;

    bool permissionGranted = true;
    int permissionRequests = 0;
    QWidget* requestedOver = nullptr;
    int captureCount = 0;
    // The region the user "drags"; none means the user cancels.
    std::optional<QImage> nextCapture;
    // The tool fails (crashes, is missing) whatever nextCapture says.
    bool captureFails = false;

private:
    FakePasteboard& m_pasteboard;
};

class FakeHotKeyService : public HotKeyService {
    Q_OBJECT
public:
    bool registerHotKey(quint32 id, int keyCode, int modifiers) override;
    void unregisterHotKey(quint32 id) override { registered.remove(id); }
    bool isTakenBySystem(int keyCode, int modifiers) const override;

    bool isHotKeyHeld() const override { return !held.isEmpty(); }

    void press(quint32 id) { Q_EMIT hotKeyPressed(id); }
    // A press whose key stays down until `release`.
    void hold(quint32 id) {
        held.insert(id);
        Q_EMIT hotKeyPressed(id);
    }
    void release(quint32 id) {
        if (!held.remove(id))
            return;
        Q_EMIT hotKeyReleased(id);
        if (held.isEmpty())
            Q_EMIT hotKeysReleased();
    }

    QHash<quint32, QPair<int, int>> registered;
    QList<QPair<int, int>> takenBySystem;
    QSet<quint32> held;
};

// A US layout for the handful of keys tests use.
class FakeKeyboardLayout : public KeyboardLayout {
    Q_OBJECT
public:
    QString characterForKeyCode(int keyCode) const override;
    std::optional<int> keyCodeForQtKey(int qtKey) const override;
    std::optional<int> keyCodeForNativeScanCode(quint32) const override { return std::nullopt; }
};

class FakeLoginItem : public LoginItem {
    Q_OBJECT
public:
    bool isEnabled() const override { return enabled; }
    bool setEnabled(bool value) override;

    bool enabled = false;
    bool succeeds = true;
};

class FakeActivationPolicy : public ActivationPolicy {
    Q_OBJECT
public:
    Policy policy() const override { return current; }
    void setPolicy(Policy policy) override;
    void activateIgnoringOtherApps() override { ++activations; }

    Policy current = Policy::Accessory;
    int activations = 0;
};

class FakeAudioPlayer : public AudioPlayer {
    Q_OBJECT
public:
    bool play(const QByteArray& encodedAudio) override;
    void stop() override;
    bool isPlaying() const override { return m_playing; }

    // Ends playback as if the clip ran out, or fails it.
    void finish();
    void fail(const QString& message);

    QByteArray played;
    int stopCount = 0;
    bool playSucceeds = true;

private:
    bool m_playing = false;
};

class FakeLanguageRecognizer : public LanguageRecognizer {
public:
    QString dominantLanguage(const QString& text, const QStringList& hints) const override;
    // Texts not listed here are recognised as `fallback`.
    QHash<QString, QString> answers;
    QString fallback;
    mutable QStringList lastHints;
};

// Answers on a later turn with `answer`; with none, after the time-out, as a desktop without the bus.
class FakeAccessibilityBus : public AccessibilityBus {
    Q_OBJECT
public:
    void queryFocusedElement(qint64 processId, QPoint position, int timeoutMs, Handler handler) override;
    std::optional<FocusedElement> answer = FocusedElement{};
    QList<qint64> askedFor;
    QList<QPoint> askedAt;
};

class FakeDeviceIdentity : public DeviceIdentity {
public:
    std::optional<QString> platformUUID() const override { return uuid; }
    QString modelIdentifier() const override { return model; }
    QString hostName() const override { return host; }

    std::optional<QString> uuid = QStringLiteral("6F9619FF-8B86-D011-B42D-00C04FC964FF");
    QString model = QStringLiteral("TestModel1,1");
    QString host = QStringLiteral("test-host");
};

class FakePlatform : public Platform {
public:
    FakePlatform();
    std::unique_ptr<AudioPlayer> createAudioPlayer() const override;
    std::unique_ptr<GlobalMouseMonitor> createGlobalMouseMonitor() const override;

    FakePasteboard& fakePasteboard() const;
    FakeGlobalMouseMonitor& fakeMouseMonitor() const;
    FakeKeyEventPoster& fakeKeyPoster() const;
    FakeWorkspace& fakeWorkspace() const;
    FakeAccessibilityPermission& fakeAccessibility() const;
    FakeScreenCapture& fakeScreenCapture() const;
    FakeHotKeyService& fakeHotKeys() const;
    FakeLoginItem& fakeLoginItem() const;
    FakeActivationPolicy& fakeActivationPolicy() const;
    FakeLanguageRecognizer& fakeLanguageRecognizer() const;
    FakeDeviceIdentity& fakeDeviceIdentity() const;
    FakeAccessibilityBus& fakeAccessibilityBus() const;

    // Players handed out so far, oldest first; null once the owner destroyed one.
    mutable QList<QPointer<FakeAudioPlayer>> audioPlayers;
    bool audioPlayerAvailable = true;
    // Extra mouse monitors handed out so far; null once the owner destroyed one.
    mutable QList<QPointer<FakeGlobalMouseMonitor>> mouseMonitors;
    bool mouseMonitorsAvailable = true;
    // playSucceeds of the players handed out from now on.
    bool audioPlayersCanPlay = true;
};

// The fake installed for the running test.
FakePlatform& fakePlatform();

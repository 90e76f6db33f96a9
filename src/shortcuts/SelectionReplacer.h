#pragma once

#include "platform/Pasteboard.h"
#include "services/TranslationService.h"
#include "shortcuts/SelectionCapture.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <deque>
#include <functional>
#include <memory>

// Translates a captured selection and pastes the translation over it in the window that held it, with the
// user's clipboard saved before the paste and put back once that window has read the paste (and never
// before: a window that has not read it in time keeps the translation on the clipboard until it does or
// someone else takes the clipboard). The user follows the work through toasts.
class SelectionReplacer : public QObject {
    Q_OBJECT
public:
    using ToastHandler = std::function<void(const QString& message, const QString& icon, double duration)>;

    static constexpr int SnapshotTimeoutMs = 500;
    // How long the target gets to read the pasted text before the user hears it did not, and how long
    // it may go on reading after that.
    static constexpr int PasteReadTimeoutMs = 2000;
    static constexpr int PasteSettleMs = 150;
    // How long the paste keys wait for held shortcut keys to come up, as the copy keys do.
    static constexpr int ReleaseWaitMs = SelectionCapture::ReleaseWaitMs;
    // How long a text widget of ours whose window is not active may take to get the keyboard back.
    static constexpr int FocusReturnWaitMs = 500;

    explicit SelectionReplacer(ToastHandler toast, QObject* parent = nullptr);
    // Puts the user's clipboard back when a paste is cut short.
    ~SelectionReplacer() override;

    // A later call before this one's paste starts takes its place: this one's translation is dropped.
    void translateAndReplace(const CapturedSelection& selection, const QString& source, const QString& target,
                             TranslationService service);

    // Runs `work` once no paste uses the clipboard and keeps pastes off it until `work` calls `done`
    // (once): a capture's copy and a paste would each save the other's content as the user's clipboard.
    void useClipboard(std::function<void(std::function<void()> done)> work);

    // Pastes `translation` over the selection; public for the benchmark.
    void replaceSelectedText(const QString& translation, const RunningApplication& application);
    // Whether `request` is `target` reading the pasted text; public for the benchmark.
    static bool isReadBy(const RunningApplication& target, const Pasteboard::Request& request);

    static QString startMessage(TranslationService service);
    static const QString successMessage;
    static const QString focusMovedMessage;
    // The window still holds the selection but gets no paste keys (a terminal).
    static const QString pasteRefusedMessage;
    static const QString notPastedMessage;
    // The window got the paste keys but has not read the translation (yet).
    static const QString notReadMessage;
    // The shortcut's keys stayed down, so the paste keys would have gone to its grab.
    static const QString keysHeldMessage;

Q_SIGNALS:
    // A replace came to its end, pasted or not (a read after the time-out is not counted).
    void finished(bool pasted);

private:
    struct Paste;
    void runNext();
    bool isSuperseded(quint64 generation) const;
    void paste(std::shared_ptr<Paste> paste);
    void pasteAfterRelease(std::shared_ptr<Paste> paste);
    // Runs `released` once no shortcut's key is down, or `heldTooLong` after ReleaseWaitMs.
    void afterRelease(std::function<void()> released, std::function<void()> heldTooLong);
    void replaceInOwnEditor(const QString& translation, QPointer<QWidget> editor, quint64 generation,
                            bool focusAwaited = false);
    void startPaste(std::shared_ptr<Paste> paste, PasteboardSnapshot snapshot);
    void leaveUnread(std::shared_ptr<Paste> paste);
    void stopWaiting(Paste& paste);
    void endPaste(std::shared_ptr<Paste> paste, bool read);
    void leaveOnClipboard(const QString& translation, const QString& message);
    void fail(const QString& message);

    ToastHandler m_toast;
    // Pastes wait for each other, so no paste saves another's translation as the user's clipboard.
    std::deque<std::function<void()>> m_queue;
    std::shared_ptr<Paste> m_current;
    // A paste whose target did not read in time, with the translation still on the clipboard.
    std::shared_ptr<Paste> m_unread;
    bool m_busy = false;
    // Counts the replaces started; only the newest one pastes.
    quint64 m_generation = 0;
};

#pragma once

#include "platform/Pasteboard.h"

#include <QObject>
#include <QPoint>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>

// What the reader needs to know about the gesture that made the selection.
struct SelectionReadRequest {
    // PRIMARY's change count when the gesture's button went down: a PRIMARY that has not moved on since
    // then holds an older selection (or one the application never replaced).
    int selectionChangeCountAtPress = 0;
    // The application the gesture happened in, for its copy keys, and its window: copy keys go out only
    // while that window still receives the keyboard.
    QString bundleIdentifier;
    quint32 windowId = 0;
    // Its process, for the accessibility bus; 0 when unknown.
    qint64 processId = 0;
    // Where the gesture began (screen coordinates): the element there is the one the bus is asked about.
    QPoint pressPosition;
};

struct SelectedText {
    QString text;
    // Whether the selection lies in an editable field (from the accessibility bus); false where that cannot
    // be told.
    bool isEditable = false;
};

// Reads the text another application has selected. The selection is PRIMARY when the application set it
// for this gesture; otherwise (PRIMARY stale, or taken and given up again) a synthetic copy through the
// clipboard, with the user's clipboard saved and put back. Every step is asynchronous with a time-out: a slow
// or dead owner never blocks.
class AccessibilityService : public QObject {
    Q_OBJECT
public:
    using Clock = std::chrono::steady_clock;
    using ReadHandler = std::function<void(std::optional<SelectedText>)>;

    // How long a gesture waits for the application to take PRIMARY before PRIMARY counts as stale.
    static constexpr int SelectionSettleMs = 150;
    static constexpr int SelectionReadTimeoutMs = 300;
    // How long the accessibility bus may take to describe the focused element.
    static constexpr int AccessibilityBusTimeoutMs = 100;
    static constexpr int SnapshotTimeoutMs = 500;
    static constexpr int CopyWaitMs = 500;
    // After a copy that came to nothing, how long a late copy by the application still gets the user's
    // clipboard put back.
    static constexpr int LateCopyGraceMs = 1500;
    static constexpr int ClipboardReadTimeoutMs = 500;
    // The clipboard fallback runs at most once in this interval.
    static constexpr int CopyCooldownMs = 1500;

    static AccessibilityService& shared();

    explicit AccessibilityService(QObject* parent = nullptr);
    // Puts the user's clipboard back when a fallback is cut short.
    ~AccessibilityService() override;

    // The handler runs exactly once on the main thread, unless this service is destroyed first. No value
    // when nothing was selected, the selection is this process's own, an owner did not answer, or the
    // accessibility bus says the focused element is a password field (nothing is then read at all).
    void readSelectedText(const SelectionReadRequest& request, ReadHandler handler);

    // A password field's mask: mask characters (● or •), at least one, and white space, as a browser that
    // does not publish its fields on the accessibility bus puts into PRIMARY. Never reported.
    static bool isPasswordMask(const QString& text);

    // When the clipboard fallback last posted copy keys; none before the first.
    std::optional<Clock::time_point> lastCopyOperationTime() const { return m_lastCopyOperationTime; }
    // The clipboard's change count right before the last synthetic copy.
    int pasteboardChangeCount() const { return m_pasteboardChangeCount; }

private:
    void readPrimary(const SelectionReadRequest& request, ReadHandler handler);
    void runClipboardFallback(const SelectionReadRequest& request, ReadHandler handler);
    void copyWithSnapshot(const PasteboardSnapshot& snapshot, const SelectionReadRequest& request,
                          ReadHandler handler);
    void finishFallback(std::optional<SelectedText> result, ReadHandler handler);
    std::optional<Clock::time_point> m_lastCopyOperationTime;
    int m_pasteboardChangeCount = 0;
    bool m_copyInProgress = false;
    // The user's clipboard while a synthetic copy may have replaced it.
    std::optional<PasteboardSnapshot> m_pendingRestore;
};

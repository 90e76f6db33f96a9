#pragma once

#include "platform/Pasteboard.h"
#include "platform/Workspace.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

// The selected text a shortcut works on, and the window that held it.
struct CapturedSelection {
    QString text;
    // The application whose window had the keyboard at the key press; windowId 0 when it could not be told.
    RunningApplication application;
    // The text widget of ours the text was selected in; null for another application's selection.
    QPointer<QWidget> ownEditor;
};

// Copies the selection of the focused window for a shortcut: the application's own copy key (or, where a
// synthetic copy would do harm or the application is unknown, the PRIMARY selection when it owns it), with
// every format of the user's clipboard saved before and put back after, whatever happens. Every step is
// asynchronous.
class SelectionCapture : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(std::optional<CapturedSelection>)>;

    static constexpr int SnapshotTimeoutMs = 500;
    // Each copy key gets this long to fill the clipboard; a second one follows a silent first.
    static constexpr int CopyWaitMs = 500;
    // After copy keys that copied nothing, how long a late copy by the application still gets the user's
    // clipboard put back.
    static constexpr int LateCopyGraceMs = 1500;
    static constexpr int ReadTimeoutMs = 500;
    // The copied text is read once the clipboard has been quiet this long after the copy; a clipboard
    // that keeps changing is read after this many changes.
    static constexpr int CopySettleMs = 200;
    static constexpr int MaxCopyClaims = 4;
    // How long the accessibility bus may take to say whether the focused element is a password field.
    static constexpr int AccessibilityBusTimeoutMs = 250;
    // How long the copy keys wait for the shortcut's keys to come up before the capture gives up.
    static constexpr int ReleaseWaitMs = 3000;
    // Open menus closed before a capture, submenus included.
    static constexpr int MaxPopupsClosed = 8;

    explicit SelectionCapture(QObject* parent = nullptr);
    // Puts the user's clipboard back when a capture is cut short.
    ~SelectionCapture() override;

    // The handler runs exactly once on the main thread, unless this object is destroyed first; no value
    // when nothing non-empty was selected (or could be read safely): a password field has the focus, the
    // text is a password's mask, or PRIMARY belongs to another application than the focused one. A menu
    // of ours that is open is closed first.
    void capture(Handler handler);

    // The text selected in a text widget of ours that has the keyboard, with that widget.
    static std::optional<CapturedSelection> ownSelection(const std::optional<RunningApplication>& front);

private:
    struct Attempt;
    void captureFromFocus(Handler handler);
    void captureFrom(const std::optional<RunningApplication>& front, Handler handler);
    void readPrimary(const RunningApplication& app, Handler handler);
    void copy(std::shared_ptr<Attempt> attempt);
    void copyAfterRelease(std::shared_ptr<Attempt> attempt);
    void readCopy(std::shared_ptr<Attempt> attempt);
    void finish(std::shared_ptr<Attempt> attempt, std::optional<QString> text);
    bool isStillFocused(const RunningApplication& app) const;

    // Snapshots of captures in flight, for the destructor.
    QList<std::shared_ptr<Attempt>> m_pending;
};

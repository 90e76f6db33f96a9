#pragma once

#include "platform/Pasteboard.h"

#include <QList>
#include <QPointer>
#include <memory>
#include <xcb/xcb.h>

class QAbstractNativeEventFilter;
class QClipboard;
class X11SelectionConnection;
class X11SelectionRead;

// The X11 CLIPBOARD and PRIMARY selections. Writes go through QClipboard, whose xcb plugin then serves
// them. Reads of other owners' content and the change counts use a connection of our own: conversions
// are answered through a socket notifier under a time-out, and XFixes reports every new owner.
class X11Pasteboard : public Pasteboard {
    Q_OBJECT
public:
    explicit X11Pasteboard(QObject* parent = nullptr);
    ~X11Pasteboard() override;

    int changeCount(Mode mode = Mode::Clipboard) const override;
    bool isOwnedByThisProcess(Mode mode = Mode::Clipboard) const override;

    void clearContents() override;
    void setString(const QString& text) override;
    void setImage(const QImage& image) override;
    void restore(const PasteboardSnapshot& snapshot) override;

    void readString(StringHandler handler, Mode mode = Mode::Clipboard,
                    int timeoutMs = DefaultTimeoutMs) override;
    void readImage(ImageHandler handler, int timeoutMs = DefaultTimeoutMs) override;
    void takeSnapshot(SnapshotHandler handler, int timeoutMs = DefaultTimeoutMs) override;
    bool isSameClient(quint32 windowA, quint32 windowB) const override;
    void queryOwnedByApplication(Mode mode, quint32 windowId, qint64 processId, QObject* context,
                                 std::function<void(bool)> done) override;

private:
    // One of our own writes whose owner notification is still to come; it was counted when made.
    struct ExpectedOwnerChange {
        xcb_timestamp_t time;
    };
    struct ModeState {
        int changeCount = 0;
        bool ownedByUs = false;
        QList<ExpectedOwnerChange> expected;
    };

    ModeState& state(Mode mode) { return mode == Mode::Clipboard ? m_clipboard : m_selection; }
    const ModeState& state(Mode mode) const { return mode == Mode::Clipboard ? m_clipboard : m_selection; }
    void write(QMimeData* mime);
    xcb_timestamp_t freshenQtTimestamp() const;
    void handleOwnerChanged(xcb_atom_t selection, xcb_window_t owner, xcb_timestamp_t time);
    void handleQtClipboardChanged(int mode);
    bool isQtWindow(xcb_window_t window) const;
    // Our own content when we are sure we still own it; reading it needs no X round trip.
    const QMimeData* ownContent(Mode mode) const;
    X11SelectionRead* startRead(Mode mode, int timeoutMs, std::function<void()> onTimeout);
    bool canRead() const;
    void handleSelectionRequest(xcb_atom_t selection, xcb_atom_t target, xcb_window_t owner,
                                xcb_window_t requestor);

    std::unique_ptr<X11SelectionConnection> m_connection;
    // Sees the conversion requests Qt answers for our content.
    std::unique_ptr<QAbstractNativeEventFilter> m_requestFilter;
    QClipboard* m_qtClipboard = nullptr;
    ModeState m_clipboard;
    ModeState m_selection;
    QPointer<QMimeData> m_ownMime;
    uint32_t m_qtResourceBase = 0;
    uint32_t m_qtResourceMask = 0;
    bool m_writing = false;
};

#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <xcb/xcb.h>

class QSocketNotifier;
class X11SelectionTransfer;

// A connection to the X server of our own, for reading selections and watching who owns them. Its socket
// is read through a QSocketNotifier and every reply is collected without waiting, so a slow or dead
// selection owner never holds up the UI thread, and Qt's connection stays free to serve our own clipboard.
class X11SelectionConnection : public QObject {
    Q_OBJECT
public:
    enum class Atom { Clipboard, Targets, Incr, Utf8String, Text, CompoundText, Property, Count };
    // `reply` is the xcb reply (null on error); both are freed after the call.
    using ReplyHandler = std::function<void(void* reply, xcb_generic_error_t* error)>;

    // Null when the display cannot be reached.
    static std::unique_ptr<X11SelectionConnection> open(const char* displayName);
    ~X11SelectionConnection() override;

    xcb_connection_t* connection() const { return m_connection; }
    xcb_window_t root() const { return m_root; }
    xcb_atom_t atom(Atom atom) const { return m_atoms[int(atom)]; }
    bool hasXFixes() const { return m_hasXFixes; }
    bool hasClientIds() const { return m_hasClientIds; }
    bool isBroken() const;
    // The owner of a selection when the connection was opened; later changes arrive as signals.
    xcb_window_t initialOwner(xcb_atom_t selection) const { return m_initialOwners.value(selection); }

    // Calls `handler` when the reply to `sequence` arrives, unless `context` is gone by then.
    void expectReply(unsigned int sequence, QObject* context, ReplyHandler handler);
    // The names of `atoms`, in the same order (empty for atoms the server does not know).
    void resolveAtomNames(const QList<xcb_atom_t>& atoms, QObject* context,
                          std::function<void(QList<QByteArray>)> done);
    QByteArray cachedAtomName(xcb_atom_t atom) const { return m_atomNames.value(atom); }
    // The process of the client that created `window`, as the X server knows it; 0 when it cannot tell
    // (no X-Resource extension, a remote client, a window already gone). Answers on a later turn.
    void queryClientProcess(xcb_window_t window, QObject* context, std::function<void(qint64)> done);
    // Sends what is buffered. Replies and events that arrive meanwhile are handled on a later turn.
    void flush();

    void addTransfer(xcb_window_t window, X11SelectionTransfer* transfer);
    void removeTransfer(xcb_window_t window);

Q_SIGNALS:
    // Someone called SetSelectionOwner (`owner` is none when the selection was cleared).
    void selectionOwnerChanged(xcb_atom_t selection, xcb_window_t owner, xcb_timestamp_t selectionTime);
    void broken();

private:
    struct PendingReply {
        unsigned int sequence;
        QPointer<QObject> context;
        ReplyHandler handler;
    };

    X11SelectionConnection(xcb_connection_t* connection, int screenNumber);
    bool initialise(int screenNumber);
    void scheduleDrain();
    void drain();
    void handleEvent(xcb_generic_event_t* event);
    void markBroken();

    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = XCB_NONE;
    xcb_window_t m_watchWindow = XCB_NONE;
    xcb_atom_t m_atoms[int(Atom::Count)] = {};
    bool m_hasXFixes = false;
    bool m_hasClientIds = false;
    uint8_t m_xfixesFirstEvent = 0;
    bool m_broken = false;
    bool m_closing = false;
    bool m_drainScheduled = false;
    bool m_draining = false;
    QHash<xcb_atom_t, xcb_window_t> m_initialOwners;
    QHash<xcb_atom_t, QByteArray> m_atomNames;
    QList<PendingReply> m_pendingReplies;
    QHash<xcb_window_t, QPointer<X11SelectionTransfer>> m_transfers;
    QSocketNotifier* m_notifier = nullptr;
};

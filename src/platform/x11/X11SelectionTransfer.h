#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>
#include <xcb/xcb.h>

class X11SelectionConnection;

// The value of one selection target as its owner delivered it.
struct X11SelectionData {
    QByteArray data;
    xcb_atom_t type = XCB_NONE;
    int format = 8;
};

// One conversion of a selection to one target, on a hidden window of its own, including incremental
// (INCR) transfers of large values. It deletes itself once the owner is done with it.
class X11SelectionTransfer : public QObject {
    Q_OBJECT
public:
    // No value when the owner refuses, fails or sends more than the limit.
    using Handler = std::function<void(std::optional<X11SelectionData>)>;

    X11SelectionTransfer(X11SelectionConnection& connection, xcb_atom_t selection, xcb_atom_t target,
                         qint64 maxBytes, Handler handler);
    ~X11SelectionTransfer() override;

    void start();
    // The answer is no longer wanted. The owner may still be sending: its chunks are taken and dropped
    // until it finishes (or for a grace period), because destroying the window under it breaks some owners.
    void abandon();

    void handleSelectionNotify(const xcb_selection_notify_event_t& event);
    void handlePropertyNotify(const xcb_property_notify_event_t& event);

private:
    enum class State { Converting, Reading, Incremental, Finished };

    void requestProperty();
    void handleProperty(xcb_get_property_reply_t* reply);
    void answer(std::optional<X11SelectionData> result);
    void discardRemainder();
    void end();

    X11SelectionConnection& m_connection;
    xcb_atom_t m_selection;
    xcb_atom_t m_target;
    xcb_atom_t m_property;
    qint64 m_maxBytes;
    Handler m_handler;
    xcb_window_t m_window = XCB_NONE;
    State m_state = State::Converting;
    bool m_requestOutstanding = false;
    bool m_newValuePending = false;
    bool m_discarding = false;
    X11SelectionData m_data;
    QTimer m_graceTimer;
};

#include "platform/x11/X11SelectionTransfer.h"

#include "platform/DebugLog.h"
#include "platform/x11/X11SelectionConnection.h"

#include <algorithm>
#include <cstring>

namespace {

// How long an abandoned transfer keeps its window for an owner that may still answer.
constexpr int kAbandonGraceMs = 10000;

} // namespace

X11SelectionTransfer::X11SelectionTransfer(X11SelectionConnection& connection, xcb_atom_t selection,
                                           xcb_atom_t target, qint64 maxBytes, Handler handler)
    : QObject(&connection)
    , m_connection(connection)
    , m_selection(selection)
    , m_target(target)
    , m_property(connection.atom(X11SelectionConnection::Atom::Property))
    , m_maxBytes(maxBytes)
    , m_handler(std::move(handler)) {
    m_graceTimer.setSingleShot(true);
    connect(&m_graceTimer, &QTimer::timeout, this, &X11SelectionTransfer::end);
}

X11SelectionTransfer::~X11SelectionTransfer() {
    if (m_window == XCB_NONE)
        return;
    m_connection.removeTransfer(m_window);
    xcb_destroy_window(m_connection.connection(), m_window);
    m_connection.flush();
}

void X11SelectionTransfer::start() {
    if (m_connection.isBroken()) {
        answer(std::nullopt);
        end();
        return;
    }
    xcb_connection_t* c = m_connection.connection();
    m_window = xcb_generate_id(c);
    const uint32_t values[] = {1, XCB_EVENT_MASK_PROPERTY_CHANGE};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, m_window, m_connection.root(), -10, -10, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
                      XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    m_connection.addTransfer(m_window, this);
    xcb_convert_selection(c, m_window, m_selection, m_target, m_property, XCB_CURRENT_TIME);
    m_connection.flush();
}

void X11SelectionTransfer::abandon() {
    m_handler = nullptr;
    if (m_state == State::Finished)
        return;
    m_discarding = true;
    m_data = {};
    if (!m_graceTimer.isActive())
        m_graceTimer.start(kAbandonGraceMs);
}

void X11SelectionTransfer::handleSelectionNotify(const xcb_selection_notify_event_t& event) {
    // The window is this conversion's alone, so whatever the owner put in the other fields, this is our
    // answer.
    if (m_state != State::Converting)
        return;
    if (event.property == XCB_NONE) {
        answer(std::nullopt);
        end();
        return;
    }
    m_property = event.property;
    m_state = State::Reading;
    requestProperty();
}

void X11SelectionTransfer::handlePropertyNotify(const xcb_property_notify_event_t& event) {
    // The owner writes the value once before it notifies us; only later writes are chunks of an INCR
    // transfer, and their notifications can be read before the reply that announced the transfer.
    if (event.atom != m_property || event.state != XCB_PROPERTY_NEW_VALUE)
        return;
    if (m_state != State::Reading && m_state != State::Incremental)
        return;
    if (m_requestOutstanding || m_state == State::Reading) {
        m_newValuePending = true;
        return;
    }
    requestProperty();
}

void X11SelectionTransfer::requestProperty() {
    const qint64 room =
        m_discarding ? qint64(64) * 1024 * 1024 : std::max<qint64>(0, m_maxBytes - m_data.data.size());
    const auto longs = uint32_t(std::min<qint64>(room / 4 + 1, 0x1fffffff));
    // Deleting the property as we read it is what tells an INCR owner to send the next chunk.
    const xcb_get_property_cookie_t cookie = xcb_get_property(
        m_connection.connection(), 1, m_window, m_property, XCB_GET_PROPERTY_TYPE_ANY, 0, longs);
    m_requestOutstanding = true;
    m_newValuePending = false;
    m_connection.expectReply(cookie.sequence, this, [this](void* reply, xcb_generic_error_t*) {
        m_requestOutstanding = false;
        handleProperty(static_cast<xcb_get_property_reply_t*>(reply));
    });
    m_connection.flush();
}

void X11SelectionTransfer::handleProperty(xcb_get_property_reply_t* reply) {
    if (!reply || reply->bytes_after > 0) {
        // Gone, or larger than we take: the property stays, and so would an INCR owner, so stop here.
        answer(std::nullopt);
        end();
        return;
    }
    const auto* bytes = static_cast<const char*>(xcb_get_property_value(reply));
    const int length = xcb_get_property_value_length(reply);

    if (m_state == State::Reading) {
        if (reply->type == m_connection.atom(X11SelectionConnection::Atom::Incr)) {
            m_state = State::Incremental;
            m_data.type = XCB_NONE;
            if (length >= 4) {
                quint32 announced = 0;
                std::memcpy(&announced, bytes, sizeof announced);
                if (qint64(announced) > m_maxBytes)
                    discardRemainder();
            }
            if (m_newValuePending)
                requestProperty();
            return;
        }
        if (reply->type == XCB_NONE) {
            answer(std::nullopt);
            end();
            return;
        }
        answer(X11SelectionData{QByteArray(bytes, length), reply->type, reply->format});
        end();
        return;
    }

    if (m_state != State::Incremental)
        return;
    if (length == 0) {
        // The empty chunk ends an INCR transfer.
        if (!m_discarding)
            answer(std::move(m_data));
        end();
        return;
    }
    if (!m_discarding) {
        if (m_data.type == XCB_NONE) {
            m_data.type = reply->type;
            m_data.format = reply->format;
        }
        if (m_data.data.size() + length > m_maxBytes)
            discardRemainder();
        else
            m_data.data.append(bytes, length);
    }
    if (m_newValuePending)
        requestProperty();
}

void X11SelectionTransfer::discardRemainder() {
    debugLog(QStringLiteral("Pasteboard"),
             QStringLiteral("selection value larger than %1 bytes dropped").arg(m_maxBytes));
    answer(std::nullopt);
    abandon();
}

void X11SelectionTransfer::answer(std::optional<X11SelectionData> result) {
    auto handler = std::move(m_handler);
    m_handler = nullptr;
    if (handler)
        handler(std::move(result));
}

void X11SelectionTransfer::end() {
    if (m_state == State::Finished)
        return;
    m_state = State::Finished;
    m_handler = nullptr;
    m_graceTimer.stop();
    deleteLater();
}

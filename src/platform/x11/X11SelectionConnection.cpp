#include "platform/x11/X11SelectionConnection.h"

#include "platform/DebugLog.h"
#include "platform/x11/X11SelectionTransfer.h"
#include "platform/x11/Xcb.h"
#include "platform/x11/XcbExtensionsOnDemand.h"

#include <QSocketNotifier>
#include <cstdlib>
#include <iterator>
#include <xcb/xcbext.h>
#include <xcb/res.h>
#include <xcb/xfixes.h>

namespace {

const QString kTag = QStringLiteral("Pasteboard");

// In the order of X11SelectionConnection::Atom.
const char* const kAtomNames[] = {"CLIPBOARD", "TARGETS", "INCR", "UTF8_STRING", "TEXT", "COMPOUND_TEXT",
                                  "QUILLORA_SELECTION"};
static_assert(std::size(kAtomNames) == size_t(X11SelectionConnection::Atom::Count));

} // namespace

std::unique_ptr<X11SelectionConnection> X11SelectionConnection::open(const char* displayName) {
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(displayName, &screenNumber);
    if (!connection)
        return nullptr;
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    std::unique_ptr<X11SelectionConnection> self(new X11SelectionConnection(connection, screenNumber));
    if (!self->initialise(screenNumber))
        return nullptr;
    return self;
}

X11SelectionConnection::X11SelectionConnection(xcb_connection_t* connection, int)
    : m_connection(connection) {}

X11SelectionConnection::~X11SelectionConnection() {
    m_closing = true;
    // Transfers destroy their windows on this connection, so they go before it closes.
    const auto transfers = m_transfers;
    for (const auto& transfer : transfers)
        delete transfer.data();
    delete m_notifier;
    xcb_disconnect(m_connection);
}

bool X11SelectionConnection::initialise(int screenNumber) {
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem <= 0 || !screens.data)
        return false;
    m_root = screens.data->root;

    // Set-up questions go out together and are answered in one round trip, once, at start.
    const std::vector<const char*> atomNames(std::begin(kAtomNames), std::end(kAtomNames));
    const auto atomCookies = Xcb::requestAtoms(m_connection, atomNames);
    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(m_connection, &xcb_xfixes_id);
    xcb_xfixes_query_version_cookie_t versionCookie{};
    if (xfixes && xfixes->present)
        versionCookie = xcb_xfixes_query_version(m_connection, 5, 0);
    const xcb_query_extension_reply_t* res = xcb_get_extension_data(m_connection, XcbExtensionsOnDemand::resource());
    xcb_res_query_version_cookie_t resCookie{};
    if (res && res->present)
        resCookie = xcb_res_query_version(m_connection, 1, 2);

    const std::vector<xcb_atom_t> atoms = Xcb::atomReplies(m_connection, atomCookies);
    for (size_t i = 0; i < atoms.size(); ++i) {
        if (atoms[i] == XCB_ATOM_NONE)
            return false;
        m_atoms[i] = atoms[i];
        m_atomNames.insert(atoms[i], atomNames[i]);
    }
    m_atomNames.insert(XCB_ATOM_PRIMARY, "PRIMARY");
    m_atomNames.insert(XCB_ATOM_STRING, "STRING");
    m_atomNames.insert(XCB_ATOM_ATOM, "ATOM");

    if (xfixes && xfixes->present) {
        XcbReply<xcb_xfixes_query_version_reply_t> version(
            xcb_xfixes_query_version_reply(m_connection, versionCookie, nullptr));
        m_hasXFixes = version && version->major_version >= 1;
        m_xfixesFirstEvent = xfixes->first_event;
    }
    if (res && res->present) {
        XcbReply<xcb_res_query_version_reply_t> version(
            xcb_res_query_version_reply(m_connection, resCookie, nullptr));
        // Client ids came with 1.2.
        m_hasClientIds = version && (version->server_major > 1 ||
                                     (version->server_major == 1 && version->server_minor >= 2));
    }

    const xcb_atom_t selections[] = {XCB_ATOM_PRIMARY, atom(Atom::Clipboard)};
    if (m_hasXFixes) {
        m_watchWindow = xcb_generate_id(m_connection);
        const uint32_t values[] = {1};
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_watchWindow, m_root, -10, -10, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT,
                          values);
        for (xcb_atom_t selection : selections)
            xcb_xfixes_select_selection_input(m_connection, m_watchWindow, selection,
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER);
    } else {
        debugLog(kTag, QStringLiteral("XFixes is missing; changes by other clients go unnoticed"));
    }
    xcb_get_selection_owner_cookie_t ownerCookies[2];
    for (int i = 0; i < 2; ++i)
        ownerCookies[i] = xcb_get_selection_owner(m_connection, selections[i]);
    for (int i = 0; i < 2; ++i) {
        XcbReply<xcb_get_selection_owner_reply_t> reply(
            xcb_get_selection_owner_reply(m_connection, ownerCookies[i], nullptr));
        m_initialOwners.insert(selections[i], reply ? reply->owner : XCB_NONE);
    }
    if (xcb_connection_has_error(m_connection))
        return false;

    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11SelectionConnection::drain);
    flush();
    return true;
}

bool X11SelectionConnection::isBroken() const {
    return m_broken;
}

void X11SelectionConnection::expectReply(unsigned int sequence, QObject* context, ReplyHandler handler) {
    m_pendingReplies.append({sequence, context, std::move(handler)});
}

void X11SelectionConnection::resolveAtomNames(const QList<xcb_atom_t>& atoms, QObject* context,
                                              std::function<void(QList<QByteArray>)> done) {
    struct Lookup {
        QList<xcb_atom_t> atoms;
        int outstanding = 0;
        std::function<void(QList<QByteArray>)> done;
    };
    auto lookup = std::make_shared<Lookup>();
    lookup->atoms = atoms;
    lookup->done = std::move(done);
    auto finishIfComplete = [this, lookup] {
        if (lookup->outstanding > 0 || !lookup->done)
            return;
        QList<QByteArray> names;
        names.reserve(lookup->atoms.size());
        for (xcb_atom_t atom : lookup->atoms)
            names.append(m_atomNames.value(atom));
        auto done = std::move(lookup->done);
        lookup->done = nullptr;
        done(names);
    };
    QList<xcb_atom_t> asked;
    for (xcb_atom_t atom : atoms) {
        if (atom == XCB_NONE || m_atomNames.contains(atom) || asked.contains(atom))
            continue;
        asked.append(atom);
        ++lookup->outstanding;
        const xcb_get_atom_name_cookie_t cookie = xcb_get_atom_name(m_connection, atom);
        expectReply(cookie.sequence, context, [this, atom, lookup, finishIfComplete](void* reply, auto*) {
            if (auto* r = static_cast<xcb_get_atom_name_reply_t*>(reply)) {
                m_atomNames.insert(atom,
                                   QByteArray(xcb_get_atom_name_name(r), xcb_get_atom_name_name_length(r)));
            }
            --lookup->outstanding;
            finishIfComplete();
        });
    }
    if (asked.isEmpty()) {
        finishIfComplete();
        return;
    }
    flush();
}

void X11SelectionConnection::queryClientProcess(xcb_window_t window, QObject* context,
                                                std::function<void(qint64)> done) {
    if (!m_hasClientIds || window == XCB_NONE || m_broken) {
        QMetaObject::invokeMethod(context, [done = std::move(done)] { done(0); }, Qt::QueuedConnection);
        return;
    }
    const xcb_res_client_id_spec_t spec{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    const xcb_res_query_client_ids_cookie_t cookie = xcb_res_query_client_ids(m_connection, 1, &spec);
    expectReply(cookie.sequence, context, [done = std::move(done)](void* reply, auto*) {
        qint64 pid = 0;
        if (auto* r = static_cast<xcb_res_query_client_ids_reply_t*>(reply)) {
            for (auto ids = xcb_res_query_client_ids_ids_iterator(r); ids.rem > 0;
                 xcb_res_client_id_value_next(&ids)) {
                if ((ids.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) &&
                    xcb_res_client_id_value_value_length(ids.data) >= 1)
                    pid = *xcb_res_client_id_value_value(ids.data);
            }
        }
        done(pid);
    });
    flush();
}

void X11SelectionConnection::flush() {
    if (m_closing || m_broken)
        return;
    xcb_flush(m_connection);
    // Writing may also have read: what xcb holds already no longer wakes the socket notifier.
    scheduleDrain();
}

void X11SelectionConnection::scheduleDrain() {
    if (m_drainScheduled)
        return;
    m_drainScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_drainScheduled = false;
            drain();
        },
        Qt::QueuedConnection);
}

void X11SelectionConnection::drain() {
    if (m_broken || m_closing || m_draining)
        return;
    m_draining = true;
    QPointer<X11SelectionConnection> alive(this);
    for (;;) {
        bool progress = false;
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
            progress = true;
            XcbReply<xcb_generic_event_t> owned(event);
            handleEvent(event);
            if (!alive)
                return;
        }
        while (!m_pendingReplies.isEmpty()) {
            void* reply = nullptr;
            xcb_generic_error_t* error = nullptr;
            if (!xcb_poll_for_reply(m_connection, m_pendingReplies.first().sequence, &reply, &error))
                break;
            progress = true;
            XcbReply<void> ownedReply(reply);
            XcbReply<xcb_generic_error_t> ownedError(error);
            PendingReply pending = m_pendingReplies.takeFirst();
            if (pending.context)
                pending.handler(reply, error);
            if (!alive)
                return;
        }
        if (!progress) {
            // Looking for replies may have read events that the socket will not announce again.
            xcb_generic_event_t* event = xcb_poll_for_queued_event(m_connection);
            if (!event)
                break;
            XcbReply<xcb_generic_event_t> owned(event);
            handleEvent(event);
            if (!alive)
                return;
        }
    }
    m_draining = false;
    if (xcb_connection_has_error(m_connection))
        markBroken();
}

void X11SelectionConnection::handleEvent(xcb_generic_event_t* event) {
    const uint8_t type = event->response_type & 0x7f;
    if (type == 0) {
        const auto* error = reinterpret_cast<xcb_generic_error_t*>(event);
        debugLog(kTag, QStringLiteral("X error %1 for request %2.%3")
                           .arg(error->error_code)
                           .arg(error->major_code)
                           .arg(error->minor_code));
        return;
    }
    if (m_hasXFixes && type == m_xfixesFirstEvent + XCB_XFIXES_SELECTION_NOTIFY) {
        const auto* notify = reinterpret_cast<xcb_xfixes_selection_notify_event_t*>(event);
        if (notify->subtype == XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER)
            Q_EMIT selectionOwnerChanged(notify->selection, notify->owner, notify->selection_timestamp);
        return;
    }
    if (type == XCB_SELECTION_NOTIFY) {
        const auto* notify = reinterpret_cast<xcb_selection_notify_event_t*>(event);
        if (X11SelectionTransfer* transfer = m_transfers.value(notify->requestor))
            transfer->handleSelectionNotify(*notify);
        return;
    }
    if (type == XCB_PROPERTY_NOTIFY) {
        const auto* notify = reinterpret_cast<xcb_property_notify_event_t*>(event);
        if (X11SelectionTransfer* transfer = m_transfers.value(notify->window))
            transfer->handlePropertyNotify(*notify);
    }
}

void X11SelectionConnection::markBroken() {
    if (m_broken)
        return;
    m_broken = true;
    debugLog(kTag, QStringLiteral("lost the connection to the X server"));
    if (m_notifier)
        m_notifier->setEnabled(false);
    m_pendingReplies.clear();
    Q_EMIT broken();
}

void X11SelectionConnection::addTransfer(xcb_window_t window, X11SelectionTransfer* transfer) {
    m_transfers.insert(window, transfer);
}

void X11SelectionConnection::removeTransfer(xcb_window_t window) {
    m_transfers.remove(window);
}

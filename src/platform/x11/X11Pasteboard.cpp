#include "platform/x11/X11Pasteboard.h"

#include "platform/DebugLog.h"
#include "platform/MainQueue.h"
#include "platform/x11/X11SelectionConnection.h"
#include "platform/x11/X11SelectionFormats.h"
#include "platform/x11/X11SelectionRead.h"

#include <QAbstractNativeEventFilter>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QMimeData>
#include <QScreen>
#include <QtGui/qguiapplication_platform.h>
#include <memory>
#include <qpa/qplatformnativeinterface.h>

extern "C" char* XDisplayString(Display* display);

namespace {

const QString kTag = QStringLiteral("Pasteboard");
const QString kPlainText = QStringLiteral("text/plain");

// Limits on what one read takes from an owner, so a hostile or broken one cannot exhaust memory.
constexpr qint64 kMaxTransferBytes = qint64(128) * 1024 * 1024;
constexpr qint64 kMaxSnapshotBytes = qint64(256) * 1024 * 1024;
// Own writes whose owner notification may still come; older ones failed or were overtaken.
constexpr int kMaxExpectedOwnerChanges = 8;

// Qt answers conversion requests on its own connection; this looks at them on their way in.
class SelectionRequestFilter : public QAbstractNativeEventFilter {
public:
    using Handler = std::function<void(const xcb_selection_request_event_t&)>;
    explicit SelectionRequestFilter(Handler handler) : m_handler(std::move(handler)) {}

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) == XCB_SELECTION_REQUEST)
            m_handler(*reinterpret_cast<const xcb_selection_request_event_t*>(event));
        return false;
    }

private:
    Handler m_handler;
};

} // namespace

X11Pasteboard::X11Pasteboard(QObject* parent)
    : Pasteboard(parent)
    , m_qtClipboard(QGuiApplication::clipboard()) {
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        QByteArray displayName;
        if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
            if (Display* display = x11->display())
                displayName = XDisplayString(display);
            if (xcb_connection_t* qtConnection = x11->connection()) {
                const xcb_setup_t* setup = xcb_get_setup(qtConnection);
                m_qtResourceBase = setup->resource_id_base;
                m_qtResourceMask = setup->resource_id_mask;
            }
        }
        m_connection =
            X11SelectionConnection::open(displayName.isEmpty() ? nullptr : displayName.constData());
        if (!m_connection)
            debugLog(kTag, QStringLiteral(
                               "cannot open a connection to the X server; clipboard reads answer nothing"));
    }
    if (m_connection) {
        connect(m_connection.get(), &X11SelectionConnection::selectionOwnerChanged, this,
                &X11Pasteboard::handleOwnerChanged);
        m_clipboard.ownedByUs = isQtWindow(
            m_connection->initialOwner(m_connection->atom(X11SelectionConnection::Atom::Clipboard)));
        m_selection.ownedByUs = isQtWindow(m_connection->initialOwner(XCB_ATOM_PRIMARY));
    }
    if (m_connection && m_qtResourceMask != 0) {
        m_requestFilter = std::make_unique<SelectionRequestFilter>([this](const xcb_selection_request_event_t& e) {
            handleSelectionRequest(e.selection, e.target, e.owner, e.requestor);
        });
        qApp->installNativeEventFilter(m_requestFilter.get());
    }
    if (m_qtClipboard && (!m_connection || !m_connection->hasXFixes()))
        connect(m_qtClipboard, &QClipboard::changed, this,
                [this](QClipboard::Mode mode) { handleQtClipboardChanged(int(mode)); });
}

X11Pasteboard::~X11Pasteboard() {
    // Reads hold on to conversions that live on the connection.
    const auto reads = findChildren<X11SelectionRead*>(Qt::FindDirectChildrenOnly);
    qDeleteAll(reads);
    if (m_requestFilter && qApp)
        qApp->removeNativeEventFilter(m_requestFilter.get());
    m_connection.reset();
}

bool X11Pasteboard::isSameClient(quint32 windowA, quint32 windowB) const {
    // Every client's resources share the bits outside the server's id mask.
    if (windowA == XCB_NONE || windowB == XCB_NONE)
        return false;
    if (m_qtResourceMask == 0)
        return windowA == windowB;
    return (windowA & ~m_qtResourceMask) == (windowB & ~m_qtResourceMask);
}

void X11Pasteboard::queryOwnedByApplication(Mode mode, quint32 windowId, qint64 processId, QObject* context,
                                            std::function<void(bool)> done) {
    auto answer = [context, done = std::move(done)](bool belongs) {
        MainQueue::async([done, belongs] { done(belongs); }, context);
    };
    if (!canRead() || windowId == XCB_NONE) {
        answer(false);
        return;
    }
    const xcb_atom_t selection = mode == Mode::Clipboard
                                     ? m_connection->atom(X11SelectionConnection::Atom::Clipboard)
                                     : xcb_atom_t(XCB_ATOM_PRIMARY);
    const xcb_get_selection_owner_cookie_t cookie =
        xcb_get_selection_owner(m_connection->connection(), selection);
    m_connection->expectReply(
        cookie.sequence, context,
        [this, context, windowId, processId, answer](void* reply, xcb_generic_error_t*) {
            const auto* r = static_cast<xcb_get_selection_owner_reply_t*>(reply);
            const xcb_window_t owner = r ? r->owner : xcb_window_t(XCB_NONE);
            if (owner == XCB_NONE || isSameClient(owner, windowId)) {
                answer(owner != XCB_NONE);
                return;
            }
            // Some programs own selections through a connection of their own. The window's _NET_WM_PID may
            // be in a sandbox's process namespace, so the server's view of the window's process counts too.
            struct Processes {
                qint64 owner = -1;
                qint64 window = -1;
            };
            auto processes = std::make_shared<Processes>();
            auto decide = [processes, processId, answer] {
                if (processes->owner < 0 || processes->window < 0)
                    return;
                answer(processes->owner > 0 &&
                       (processes->owner == processId || processes->owner == processes->window));
            };
            m_connection->queryClientProcess(owner, context, [processes, decide](qint64 pid) {
                processes->owner = pid;
                decide();
            });
            m_connection->queryClientProcess(windowId, context, [processes, decide](qint64 pid) {
                processes->window = pid;
                decide();
            });
        });
    m_connection->flush();
}

void X11Pasteboard::handleSelectionRequest(xcb_atom_t selection, xcb_atom_t target, xcb_window_t owner,
                                           xcb_window_t requestor) {
    if (!isQtWindow(owner))
        return;
    Request request;
    if (selection == m_connection->atom(X11SelectionConnection::Atom::Clipboard))
        request.mode = Mode::Clipboard;
    else if (selection == XCB_ATOM_PRIMARY)
        request.mode = Mode::Selection;
    else
        return;
    request.requestor = requestor;
    request.formatsOnly = target == m_connection->atom(X11SelectionConnection::Atom::Targets);
    // What Qt answers from: the content as it is now, before anyone replaces it.
    std::optional<QStringList> formats;
    if (const QMimeData* own = ownContent(request.mode))
        formats = own->formats();
    // Some clients read the clipboard through a connection of their own, so the requestor's process is
    // what ties a request to an application. The answers come on a later turn, after Qt answered the
    // request, so nobody acts on it (say, by replacing the content) before it was served.
    m_connection->queryClientProcess(requestor, this, [this, request, target, formats](qint64 process) {
        m_connection->resolveAtomNames(
            {target}, this, [this, request, process, formats](QList<QByteArray> names) mutable {
                request.process = process;
                if (!request.formatsOnly && formats)
                    request.answered = X11SelectionFormats::offers(*formats, names.value(0));
                Q_EMIT contentRequested(request);
            });
    });
}

int X11Pasteboard::changeCount(Mode mode) const {
    return state(mode).changeCount;
}

bool X11Pasteboard::isOwnedByThisProcess(Mode mode) const {
    if (m_connection && m_connection->hasXFixes())
        return state(mode).ownedByUs;
    if (!m_qtClipboard)
        return false;
    if (!m_connection && mode == Mode::Clipboard && m_ownMime)
        return true;
    return mode == Mode::Clipboard ? m_qtClipboard->ownsClipboard() : m_qtClipboard->ownsSelection();
}

// --- writes

void X11Pasteboard::clearContents() {
    // An owner offering nothing, rather than no owner: a clipboard manager would refill an unowned clipboard.
    write(new QMimeData);
}

void X11Pasteboard::setString(const QString& text) {
    auto* mime = new QMimeData;
    mime->setText(text);
    write(mime);
}

void X11Pasteboard::setImage(const QImage& image) {
    auto* mime = new QMimeData;
    mime->setImageData(image);
    write(mime);
}

void X11Pasteboard::restore(const PasteboardSnapshot& snapshot) {
    write(snapshot.toMimeData().release());
}

void X11Pasteboard::write(QMimeData* mime) {
    if (!m_qtClipboard) {
        delete mime;
        return;
    }
    const xcb_timestamp_t time = freshenQtTimestamp();
    m_ownMime = mime;
    m_writing = true;
    m_qtClipboard->setMimeData(mime, QClipboard::Clipboard);
    m_writing = false;

    ++m_clipboard.changeCount;
    m_clipboard.ownedByUs = true;
    if (m_connection && m_connection->hasXFixes()) {
        m_clipboard.expected.append(ExpectedOwnerChange{time});
        while (m_clipboard.expected.size() > kMaxExpectedOwnerChanges)
            m_clipboard.expected.removeFirst();
    }
    Q_EMIT changed(Mode::Clipboard);
}

xcb_timestamp_t X11Pasteboard::freshenQtTimestamp() const {
    // Qt claims the selection with the time of the last event it saw. When another client took it since,
    // with a later time, the server would ignore the claim; so hand Qt the server's current time first.
    if (!m_connection)
        return XCB_CURRENT_TIME;
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!native || !screen)
        return XCB_CURRENT_TIME;
    const auto time = xcb_timestamp_t(reinterpret_cast<quintptr>(
        native->nativeResourceForScreen(QByteArrayLiteral("gettimestamp"), screen)));
    const auto setter = native->nativeResourceFunctionForScreen(QByteArrayLiteral("setapptime"));
    if (time == XCB_CURRENT_TIME || !setter)
        return XCB_CURRENT_TIME;
    using SetAppTime = void (*)(QScreen*, xcb_timestamp_t);
    reinterpret_cast<SetAppTime>(reinterpret_cast<void (*)()>(setter))(screen, time);
    return time;
}

// --- ownership and change counts

bool X11Pasteboard::isQtWindow(xcb_window_t window) const {
    return window != XCB_NONE && m_qtResourceMask != 0 && (window & ~m_qtResourceMask) == m_qtResourceBase;
}

void X11Pasteboard::handleOwnerChanged(xcb_atom_t selection, xcb_window_t owner, xcb_timestamp_t time) {
    Mode mode;
    if (selection == m_connection->atom(X11SelectionConnection::Atom::Clipboard))
        mode = Mode::Clipboard;
    else if (selection == XCB_ATOM_PRIMARY)
        mode = Mode::Selection;
    else
        return;
    ModeState& s = state(mode);
    const bool ours = isQtWindow(owner);
    if (ours) {
        // Our own write, counted when it was made. Writes before it that never showed up had failed.
        for (qsizetype i = 0; i < s.expected.size(); ++i) {
            if (s.expected[i].time == time || s.expected[i].time == XCB_CURRENT_TIME) {
                s.expected.remove(0, i + 1);
                s.ownedByUs = true;
                return;
            }
        }
    }
    ++s.changeCount;
    s.ownedByUs = ours;
    if (mode == Mode::Clipboard)
        debugLog(kTag, QStringLiteral("clipboard owner 0x%1 at %2%3, change %4")
                           .arg(owner, 0, 16)
                           .arg(time)
                           .arg(ours ? QStringLiteral(" (ours, unexpected)") : QString())
                           .arg(s.changeCount));
    Q_EMIT changed(mode);
}

void X11Pasteboard::handleQtClipboardChanged(int qtMode) {
    if (m_writing || (qtMode != QClipboard::Clipboard && qtMode != QClipboard::Selection))
        return;
    const Mode mode = qtMode == QClipboard::Clipboard ? Mode::Clipboard : Mode::Selection;
    ModeState& s = state(mode);
    ++s.changeCount;
    s.ownedByUs = mode == Mode::Clipboard ? m_qtClipboard->ownsClipboard() : m_qtClipboard->ownsSelection();
    Q_EMIT changed(mode);
}

// --- reads

const QMimeData* X11Pasteboard::ownContent(Mode mode) const {
    if (mode != Mode::Clipboard || !m_ownMime || !m_qtClipboard)
        return nullptr;
    if (!m_connection)
        return m_ownMime;
    // Qt drops our data once it learns another client took over; XFixes may tell us first.
    if (!m_qtClipboard->ownsClipboard() || (m_connection->hasXFixes() && !m_clipboard.ownedByUs))
        return nullptr;
    return m_ownMime;
}

bool X11Pasteboard::canRead() const {
    return m_connection && !m_connection->isBroken();
}

X11SelectionRead* X11Pasteboard::startRead(Mode mode, int timeoutMs, std::function<void()> onTimeout) {
    const xcb_atom_t selection = mode == Mode::Clipboard
                                     ? m_connection->atom(X11SelectionConnection::Atom::Clipboard)
                                     : xcb_atom_t(XCB_ATOM_PRIMARY);
    return new X11SelectionRead(*m_connection, selection, timeoutMs, std::move(onTimeout), this);
}

void X11Pasteboard::readString(StringHandler handler, Mode mode, int timeoutMs) {
    auto deliver = [this, handler = std::move(handler)](std::optional<QString> text) {
        MainQueue::async([handler, text = std::move(text)] { handler(text); }, this);
    };
    if (const QMimeData* own = ownContent(mode)) {
        deliver(own->hasText() ? std::optional<QString>(own->text()) : std::nullopt);
        return;
    }
    if (!canRead()) {
        deliver(std::nullopt);
        return;
    }
    X11SelectionRead* read = startRead(mode, timeoutMs, [deliver, timeoutMs] {
        debugLog(kTag, QStringLiteral("⏱️ the owner did not answer within %1 ms").arg(timeoutMs));
        deliver(std::nullopt);
    });
    read->fetchTargets([this, read, deliver](QList<xcb_atom_t> atoms, QList<QByteArray> names) {
        QList<xcb_atom_t> candidates;
        if (atoms.isEmpty()) {
            // Owners that do not list their targets are asked for the usual text types directly.
            candidates = {m_connection->atom(X11SelectionConnection::Atom::Utf8String), XCB_ATOM_STRING};
        } else {
            for (int i : X11SelectionFormats::textCandidates(names))
                candidates.append(atoms[i]);
        }
        auto text = std::make_shared<std::optional<QString>>();
        read->fetchFirst(
            candidates, kMaxTransferBytes,
            [this, text](xcb_atom_t target, const X11SelectionData& value) {
                *text = X11SelectionFormats::decodeText(m_connection->cachedAtomName(target),
                                                        m_connection->cachedAtomName(value.type), value.data);
                return text->has_value();
            },
            [read, text, deliver, names](bool) {
                if (!text->has_value())
                    debugLog(kTag, QStringLiteral("the owner gave no text; it offers: %1")
                                       .arg(QString::fromLatin1(names.join(' '))));
                if (read->finish())
                    deliver(*text);
            });
    });
}

void X11Pasteboard::readImage(ImageHandler handler, int timeoutMs) {
    auto deliver = [this, handler = std::move(handler)](std::optional<QImage> image) {
        MainQueue::async([handler, image = std::move(image)] { handler(image); }, this);
    };
    if (const QMimeData* own = ownContent(Mode::Clipboard)) {
        std::optional<QImage> image;
        if (own->hasImage())
            image = qvariant_cast<QImage>(own->imageData());
        for (const QString& format : own->formats()) {
            if (image && !image->isNull())
                break;
            if (format.startsWith(QLatin1String("image/"))) {
                QImage decoded;
                if (decoded.loadFromData(own->data(format)))
                    image = decoded;
            }
        }
        deliver(image && !image->isNull() ? image : std::nullopt);
        return;
    }
    if (!canRead()) {
        deliver(std::nullopt);
        return;
    }
    X11SelectionRead* read = startRead(Mode::Clipboard, timeoutMs, [deliver] { deliver(std::nullopt); });
    read->fetchTargets([read, deliver](QList<xcb_atom_t> atoms, QList<QByteArray> names) {
        QList<xcb_atom_t> candidates;
        for (int i : X11SelectionFormats::imageCandidates(names, QImageReader::supportedMimeTypes()))
            candidates.append(atoms[i]);
        auto image = std::make_shared<std::optional<QImage>>();
        read->fetchFirst(
            candidates, kMaxTransferBytes,
            [image](xcb_atom_t, const X11SelectionData& value) {
                QImage decoded;
                if (!decoded.loadFromData(value.data))
                    return false;
                *image = decoded;
                return true;
            },
            [read, image, deliver](bool) {
                if (read->finish())
                    deliver(*image);
            });
    });
}

void X11Pasteboard::takeSnapshot(SnapshotHandler handler, int timeoutMs) {
    auto deliver = [this, handler = std::move(handler)](PasteboardSnapshot snapshot) {
        MainQueue::async([handler, snapshot = std::move(snapshot)] { handler(snapshot); }, this);
    };
    if (const QMimeData* own = ownContent(Mode::Clipboard)) {
        deliver(X11SelectionFormats::snapshotOfMimeData(*own));
        return;
    }
    if (!canRead()) {
        deliver({});
        return;
    }
    X11SelectionRead* read = startRead(Mode::Clipboard, timeoutMs, [deliver] {
        PasteboardSnapshot unanswered;
        unanswered.complete = false;
        deliver(unanswered);
    });
    read->fetchTargets([this, read, deliver](QList<xcb_atom_t> atoms, QList<QByteArray> names) {
        // Without a target list the text formats below are a guess; missing them loses nothing.
        const bool offered = !atoms.isEmpty();
        if (atoms.isEmpty()) {
            atoms = {m_connection->atom(X11SelectionConnection::Atom::Utf8String), XCB_ATOM_STRING};
            names = {QByteArrayLiteral("UTF8_STRING"), QByteArrayLiteral("STRING")};
        }
        struct Progress {
            QList<X11SelectionFormats::SnapshotEntry> plan;
            qsizetype next = 0;
            qint64 budget = kMaxSnapshotBytes;
            PasteboardSnapshot snapshot;
            std::function<void()> step;
        };
        auto progress = std::make_shared<Progress>();
        progress->plan = X11SelectionFormats::snapshotPlan(names);
        std::weak_ptr<Progress> weak = progress;
        progress->step = [this, read, atoms, offered, weak, deliver] {
            auto p = weak.lock();
            if (!p)
                return;
            if (p->next >= p->plan.size() || p->budget <= 0) {
                if (p->next < p->plan.size())
                    p->snapshot.complete = false;
                if (read->finish())
                    deliver(p->snapshot);
                return;
            }
            const X11SelectionFormats::SnapshotEntry entry = p->plan[p->next++];
            QList<xcb_atom_t> candidates;
            for (int i : entry.candidates)
                candidates.append(atoms[i]);
            read->fetchFirst(
                candidates, std::min(kMaxTransferBytes, p->budget),
                [this, p, format = entry.format](xcb_atom_t target, const X11SelectionData& value) {
                    QByteArray bytes = value.data;
                    if (format == kPlainText) {
                        const auto text = X11SelectionFormats::textBytesForSnapshot(
                            m_connection->cachedAtomName(target), m_connection->cachedAtomName(value.type),
                            bytes);
                        if (!text)
                            return false;
                        bytes = *text;
                    }
                    p->budget -= bytes.size();
                    p->snapshot.items.append({format, bytes});
                    return true;
                },
                [p, offered](bool saved) {
                    if (!saved && offered)
                        p->snapshot.complete = false;
                    p->step();
                });
        };
        progress->step();
    });
}

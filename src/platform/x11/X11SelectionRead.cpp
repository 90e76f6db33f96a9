#include "platform/x11/X11SelectionRead.h"

#include "platform/x11/X11SelectionConnection.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

// TARGETS lists are short; anything longer is not an honest answer.
constexpr int kMaxTargets = 512;
constexpr qint64 kMaxTargetsBytes = kMaxTargets * 4;

} // namespace

X11SelectionRead::X11SelectionRead(X11SelectionConnection& connection, xcb_atom_t selection, int timeoutMs,
                                   std::function<void()> onTimeout, QObject* parent)
    : QObject(parent)
    , m_connection(connection)
    , m_selection(selection)
    , m_onTimeout(std::move(onTimeout)) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &X11SelectionRead::timeOut);
    m_timer.start(std::max(0, timeoutMs));
}

X11SelectionRead::~X11SelectionRead() {
    if (m_transfer)
        m_transfer->abandon();
}

void X11SelectionRead::fetch(xcb_atom_t target, qint64 maxBytes, X11SelectionTransfer::Handler done) {
    if (m_finished)
        return;
    QPointer<X11SelectionRead> self(this);
    auto* transfer =
        new X11SelectionTransfer(m_connection, m_selection, target, maxBytes,
                                 [self, done = std::move(done)](std::optional<X11SelectionData> result) {
                                     if (!self || self->m_finished)
                                         return;
                                     self->m_transfer = nullptr;
                                     done(std::move(result));
                                 });
    m_transfer = transfer;
    transfer->start();
}

void X11SelectionRead::fetchTargets(std::function<void(QList<xcb_atom_t>, QList<QByteArray>)> done) {
    const xcb_atom_t targetsAtom = m_connection.atom(X11SelectionConnection::Atom::Targets);
    fetch(targetsAtom, kMaxTargetsBytes, [this, done](std::optional<X11SelectionData> result) {
        QList<xcb_atom_t> atoms;
        if (result && result->format == 32) {
            const auto count = std::min<qsizetype>(result->data.size() / 4, kMaxTargets);
            const auto* values = reinterpret_cast<const char*>(result->data.constData());
            for (qsizetype i = 0; i < count; ++i) {
                xcb_atom_t atom = XCB_NONE;
                std::memcpy(&atom, values + i * 4, 4);
                if (atom != XCB_NONE && !atoms.contains(atom))
                    atoms.append(atom);
            }
        }
        if (atoms.isEmpty()) {
            done({}, {});
            return;
        }
        QPointer<X11SelectionRead> self(this);
        m_connection.resolveAtomNames(atoms, this, [self, atoms, done](QList<QByteArray> names) {
            if (!self || self->m_finished)
                return;
            done(atoms, names);
        });
    });
}

void X11SelectionRead::fetchFirst(const QList<xcb_atom_t>& targets, qint64 maxBytes,
                                  std::function<bool(xcb_atom_t, const X11SelectionData&)> accept,
                                  std::function<void(bool)> done) {
    struct Attempt {
        QList<xcb_atom_t> targets;
        int next = 0;
        std::function<bool(xcb_atom_t, const X11SelectionData&)> accept;
        std::function<void(bool)> done;
        std::function<void()> step;
    };
    auto attempt = std::make_shared<Attempt>();
    attempt->targets = targets;
    attempt->accept = std::move(accept);
    attempt->done = std::move(done);
    std::weak_ptr<Attempt> weak = attempt;
    attempt->step = [this, weak, maxBytes] {
        auto a = weak.lock();
        if (!a)
            return;
        if (a->next >= a->targets.size()) {
            a->done(false);
            return;
        }
        const xcb_atom_t target = a->targets[a->next++];
        fetch(target, maxBytes, [a, target](std::optional<X11SelectionData> result) {
            if (result && a->accept(target, *result))
                a->done(true);
            else
                a->step();
        });
    };
    attempt->step();
}

bool X11SelectionRead::finish() {
    if (m_finished)
        return false;
    m_finished = true;
    m_timer.stop();
    if (m_transfer)
        m_transfer->abandon();
    deleteLater();
    return true;
}

void X11SelectionRead::timeOut() {
    if (m_finished)
        return;
    m_finished = true;
    if (m_transfer)
        m_transfer->abandon();
    auto onTimeout = std::move(m_onTimeout);
    m_onTimeout = nullptr;
    if (onTimeout)
        onTimeout();
    deleteLater();
}

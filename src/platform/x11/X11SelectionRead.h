#pragma once

#include "platform/x11/X11SelectionTransfer.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <optional>
#include <xcb/xcb.h>

class X11SelectionConnection;

// One read of a selection made of several conversions, under one time-out. When time runs out the
// read calls `onTimeout` and nothing else: callbacks of conversions still under way are dropped.
class X11SelectionRead : public QObject {
    Q_OBJECT
public:
    X11SelectionRead(X11SelectionConnection& connection, xcb_atom_t selection, int timeoutMs,
                     std::function<void()> onTimeout, QObject* parent);
    ~X11SelectionRead() override;

    // The targets the owner offers with their names; empty lists when it does not say.
    void fetchTargets(std::function<void(QList<xcb_atom_t>, QList<QByteArray>)> done);
    // Converts to each target in turn until `accept` takes a value; `done` learns whether one was taken.
    void fetchFirst(const QList<xcb_atom_t>& targets, qint64 maxBytes,
                    std::function<bool(xcb_atom_t target, const X11SelectionData&)> accept,
                    std::function<void(bool)> done);

    // Ends the read before its time-out. False when it had already ended (the time-out came first).
    bool finish();

private:
    void fetch(xcb_atom_t target, qint64 maxBytes, X11SelectionTransfer::Handler done);
    void timeOut();

    X11SelectionConnection& m_connection;
    xcb_atom_t m_selection;
    std::function<void()> m_onTimeout;
    QTimer m_timer;
    QPointer<X11SelectionTransfer> m_transfer;
    bool m_finished = false;
};

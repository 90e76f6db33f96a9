#include "keyboardshortcuts/LocalEventMonitor.h"

#include <QCoreApplication>

namespace KeyboardShortcuts {

LocalEventMonitor::LocalEventMonitor(QList<QEvent::Type> types, Callback callback)
    : m_types(std::move(types))
    , m_callback(std::move(callback)) {
    QCoreApplication::instance()->installEventFilter(this);
}

LocalEventMonitor::~LocalEventMonitor() {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

bool LocalEventMonitor::eventFilter(QObject* watched, QEvent* event) {
    if (!m_types.contains(event->type()))
        return false;
    // The callback may end this monitor (a menu it hands a key to closes): it runs from a copy.
    const Callback callback = m_callback;
    return callback(watched, event);
}

} // namespace KeyboardShortcuts

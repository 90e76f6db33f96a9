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
    return m_callback(watched, event);
}

} // namespace KeyboardShortcuts

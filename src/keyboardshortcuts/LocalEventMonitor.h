#pragma once

#include <QEvent>
#include <QList>
#include <QObject>
#include <functional>

namespace KeyboardShortcuts {

// Watches events of the given types anywhere in the application while it exists: its owner keeps it
// as a member, so it can never outlive the owner and go on eating keys.
class LocalEventMonitor : public QObject {
    Q_OBJECT
public:
    // The callback answers true to swallow the event.
    using Callback = std::function<bool(QObject* receiver, QEvent* event)>;

    LocalEventMonitor(QList<QEvent::Type> types, Callback callback);
    ~LocalEventMonitor() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QList<QEvent::Type> m_types;
    Callback m_callback;
};

} // namespace KeyboardShortcuts

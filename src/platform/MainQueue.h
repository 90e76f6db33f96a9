#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

// The main queue: work that must run on the GUI thread, now or later.
namespace MainQueue {

// Runs `work` on the main thread on a later turn of the event loop. Safe from any thread. When a
// context is given, the work is dropped if the context is destroyed first.
void async(std::function<void()> work, QObject* context = nullptr);

// Runs `work` on the main thread after `delayMs` milliseconds.
void asyncAfter(int delayMs, std::function<void()> work, QObject* context = nullptr);

bool isMainThread();

} // namespace MainQueue

// A cancellable one-shot timer on the main thread. Scheduling again invalidates the pending run first.
class MainQueueTimer : public QObject {
    Q_OBJECT
public:
    explicit MainQueueTimer(QObject* parent = nullptr);

    void schedule(int delayMs, std::function<void()> work);
    void cancel();
    bool isActive() const { return m_timer.isActive(); }

private:
    QTimer m_timer;
    std::function<void()> m_work;
};

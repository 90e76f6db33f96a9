#include "platform/MainQueue.h"

#include <QCoreApplication>
#include <QThread>

namespace MainQueue {

bool isMainThread() {
    auto* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void async(std::function<void()> work, QObject* context) {
    asyncAfter(0, std::move(work), context);
}

void asyncAfter(int delayMs, std::function<void()> work, QObject* context) {
    auto* app = QCoreApplication::instance();
    if (!app)
        return;
    const bool guarded = context != nullptr;
    QPointer<QObject> guard(context);
    auto run = [work = std::move(work), guard, guarded] {
        if (guarded && guard.isNull())
            return;
        work();
    };
    if (delayMs <= 0 && !isMainThread()) {
        QMetaObject::invokeMethod(app, std::move(run), Qt::QueuedConnection);
        return;
    }
    // A zero-delay timer still runs on a later turn of the loop, never re-entrantly. From another thread,
    // hop first so the timer is created in the main thread.
    if (!isMainThread()) {
        QMetaObject::invokeMethod(
            app, [delayMs, run = std::move(run)]() mutable { QTimer::singleShot(delayMs, std::move(run)); },
            Qt::QueuedConnection);
        return;
    }
    QTimer::singleShot(delayMs, app, std::move(run));
}

} // namespace MainQueue

MainQueueTimer::MainQueueTimer(QObject* parent) : QObject(parent) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        auto work = std::move(m_work);
        m_work = nullptr;
        if (work)
            work();
    });
}

void MainQueueTimer::schedule(int delayMs, std::function<void()> work) {
    cancel();
    m_work = std::move(work);
    m_timer.start(std::max(0, delayMs));
}

void MainQueueTimer::cancel() {
    m_timer.stop();
    m_work = nullptr;
}

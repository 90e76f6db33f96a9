#include "platform/MemoryTuning.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <QThreadPool>
#include <QtGlobal>
#include <malloc.h>

void limitAllocatorArenas() {
    if (!qEnvironmentVariableIsSet("MALLOC_ARENA_MAX"))
        ::mallopt(M_ARENA_MAX, 2);
}

void limitPooledThreads() {
    QThreadPool* pool = QThreadPool::globalInstance();
    pool->setMaxThreadCount(2);
    pool->setExpiryTimeout(2000);
}

void returnFreedMemory() {
    QThreadPool::globalInstance()->start([] { ::malloc_trim(0); });
}

namespace {

// Qt names the pool's threads so; the system keeps the first 15 bytes.
bool anyPooledThreadLeft() {
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task) + QStringLiteral("/comm"));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "Thread (pooled)")
            return true;
    }
    return false;
}

} // namespace

void endPooledThreads() {
    QThreadPool::globalInstance()->waitForDone();
    // The pool hears a thread finish before the thread, detached, has unwound: nothing to join, so the
    // system's task list tells when they are gone.
    const QDeadlineTimer deadline(2000);
    while (anyPooledThreadLeft() && !deadline.hasExpired())
        QThread::usleep(500);
}

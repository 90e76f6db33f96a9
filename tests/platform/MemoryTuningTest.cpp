#include "platform/MemoryTuning.h"

#include "TestUtils.h"

#include <QDir>
#include <QSemaphore>
#include <QSet>
#include <QThread>
#include <QThreadPool>
#include <gtest/gtest.h>
#include <mutex>

namespace {

int threadsOfThisProcess() {
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

} // namespace

TEST(MemoryTuning, PooledWorkRunsOnFewThreadsThatLeaveOnceIdle) {
    QThreadPool* pool = QThreadPool::globalInstance();
    const int oldMax = pool->maxThreadCount();
    const int oldExpiry = pool->expiryTimeout();
    pool->waitForDone();
    const int before = threadsOfThisProcess();

    limitPooledThreads();
    std::mutex mutex;
    QSet<Qt::HANDLE> workers;
    QSemaphore done;
    for (int i = 0; i < 8; ++i) {
        pool->start([&] {
            QThread::msleep(20);
            {
                const std::lock_guard lock(mutex);
                workers.insert(QThread::currentThreadId());
            }
            done.release();
        });
    }
    // Not waitForDone(): it would end the idle threads itself.
    done.acquire(8);
    EXPECT_LE(workers.size(), 2);
    EXPECT_TRUE(waitUntil([before] { return threadsOfThisProcess() == before; }, 15000));

    pool->setMaxThreadCount(oldMax);
    pool->setExpiryTimeout(oldExpiry);
}

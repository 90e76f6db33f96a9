#include "platform/MemoryTuning.h"

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

#include "platform/ThreadPriority.h"

#include <sys/resource.h>
#include <unistd.h>

void lowerCurrentThreadPriority() {
    // On Linux a thread's nice value is its own, set through its thread id.
    ::setpriority(PRIO_PROCESS, id_t(::gettid()), 10);
}

#include "platform/MemoryTuning.h"

#include <QtGlobal>
#include <malloc.h>

void limitAllocatorArenas() {
    if (!qEnvironmentVariableIsSet("MALLOC_ARENA_MAX"))
        ::mallopt(M_ARENA_MAX, 2);
}

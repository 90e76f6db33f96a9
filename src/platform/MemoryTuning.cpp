#include "platform/MemoryTuning.h"

#include <QThreadPool>
#include <QtGlobal>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <string_view>
#include <unistd.h>

void limitAllocatorArenas() {
    if (!qEnvironmentVariableIsSet("MALLOC_ARENA_MAX"))
        ::mallopt(M_ARENA_MAX, 2);
}

void limitPooledThreads() {
    QThreadPool* pool = QThreadPool::globalInstance();
    pool->setMaxThreadCount(2);
    pool->setExpiryTimeout(2000);
}

#if defined(__SANITIZE_ADDRESS__)
#define QUILLORA_OWN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLORA_OWN_ALLOCATOR 1
#endif
#endif

void returnFreedMemory() {
#ifdef QUILLORA_OWN_ALLOCATOR
    // AddressSanitizer's allocator serves malloc here: glibc's holds nothing of ours to hand back, and
    // trimming it from a pooled thread crashes inside glibc.
#else
    QThreadPool::globalInstance()->start([] { ::malloc_trim(0); });
#endif
}

namespace {

// The names Qt gives these threads, as the system keeps them (15 bytes). Plain system calls: this runs
// after Qt's own globals are gone.
bool anyEndingThreadLeft() {
    static constexpr std::array<std::string_view, 3> ending = {"Thread (pooled)", "QXcbEventQueue",
                                                               "QDBusConnection"};
    DIR* tasks = ::opendir("/proc/self/task");
    if (!tasks)
        return false;
    bool left = false;
    while (const dirent* task = ::readdir(tasks)) {
        if (task->d_name[0] == '.')
            continue;
        char path[300];
        std::snprintf(path, sizeof path, "/proc/self/task/%s/comm", task->d_name);
        const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        char name[32];
        const ssize_t length = ::read(fd, name, sizeof name);
        ::close(fd);
        const std::string_view read(name, length > 0 ? size_t(length) : 0);
        if (std::find(ending.begin(), ending.end(), read.substr(0, read.find('\n'))) != ending.end()) {
            left = true;
            break;
        }
    }
    ::closedir(tasks);
    return left;
}

void waitForEndingThreads() {
    for (int waited = 0; anyEndingThreadLeft() && waited < 4000; ++waited)
        ::usleep(500);
}

} // namespace

void endPooledThreads() {
    QThreadPool::globalInstance()->waitForDone();
}

void waitForEndingThreadsAtExit() {
    std::atexit(waitForEndingThreads);
}

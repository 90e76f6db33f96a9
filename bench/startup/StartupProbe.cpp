// quillora-startup-probe PROGRAM [ARGS...]: starts PROGRAM and prints, on one line, its pid, the
// milliseconds from the start until one of its windows is reparented into the system tray (the icon
// docked), as the X server sees it, and that window's id. Exits 1 when nothing docks within 20 s.
//
// Then it stays with the program until it ends: each SIGUSR1 prints one more line, the program's
// milliseconds on CPU and its context switches since it started, over all its threads, those that have
// ended included (kernel counters inherited by every thread; without them, /proc: CPU in clock ticks of
// the whole process, switches of the threads alive).
#include <xcb/xcb.h>

#include <linux/perf_event.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace {

// A software counter of `pid` and every thread it starts from its exec on; -1 when the kernel refuses.
int openCounter(pid_t pid, std::uint64_t which) {
    perf_event_attr attr{};
    attr.type = PERF_TYPE_SOFTWARE;
    attr.size = sizeof attr;
    attr.config = which;
    attr.disabled = 1;
    attr.enable_on_exec = 1;
    attr.inherit = 1;
    return int(syscall(SYS_perf_event_open, &attr, pid, -1, -1, 0));
}

std::uint64_t readCounter(int fd) {
    std::uint64_t value = 0;
    return fd >= 0 && read(fd, &value, sizeof value) == sizeof value ? value : 0;
}

// From /proc when there are no counters.
void procCounters(pid_t pid, double& cpuMs, std::uint64_t& switches) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    unsigned long ticks = 0;
    for (int i = 3; fields >> field && i <= 15; ++i) {
        if (i >= 14)
            ticks += std::stoul(field);
    }
    cpuMs = 1000.0 * double(ticks) / double(sysconf(_SC_CLK_TCK));
    switches = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    if (DIR* dir = opendir(tasks.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::ifstream status(tasks + "/" + entry->d_name + "/status");
            while (std::getline(status, line)) {
                if (line.find("ctxt_switches:") != std::string::npos)
                    switches += std::stoull(line.substr(line.find(':') + 1));
            }
        }
        closedir(dir);
    }
}

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

xcb_window_t trayOwner(xcb_connection_t* c, int screen) {
    const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(screen);
    Reply<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom(c, name.c_str())), nullptr), &std::free);
    return reply ? reply->owner : xcb_window_t{XCB_WINDOW_NONE};
}

xcb_window_t parentOf(xcb_connection_t* c, xcb_window_t window) {
    Reply<xcb_query_tree_reply_t> reply(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr), &std::free);
    return reply ? reply->parent : xcb_window_t{XCB_WINDOW_NONE};
}

// The tray embeds icons in windows of its own, which need not sit under the selection owner's window;
// windows of one client share the bits of its resource-id base.
bool insideTray(xcb_connection_t* c, xcb_window_t root, xcb_window_t parent, xcb_window_t owner) {
    const uint32_t clientBits = ~xcb_get_setup(c)->resource_id_mask;
    return parent != root && parent != XCB_WINDOW_NONE && (parent & clientBits) == (owner & clientBits);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PROGRAM [ARGS...]\n", argv[0]);
        return 2;
    }
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "startup-probe: no X display\n");
        return 2;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t root = screen->root;
    const xcb_window_t owner = trayOwner(c, screenNumber);
    if (owner == XCB_WINDOW_NONE) {
        std::fprintf(stderr, "startup-probe: no system tray on the display\n");
        return 2;
    }
    const uint32_t rootMask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &rootMask);
    xcb_flush(c);

    // SIGUSR1 asks for the counters, SIGCHLD tells the program ended: both are waited for below.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGUSR1);
    sigaddset(&signals, SIGCHLD);
    sigprocmask(SIG_BLOCK, &signals, nullptr);

    // The child waits until its counters are attached, so that they see every thread it starts.
    int go[2];
    if (pipe(go) != 0)
        return 2;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        sigprocmask(SIG_UNBLOCK, &signals, nullptr);
        close(go[1]);
        char byte;
        if (read(go[0], &byte, 1) != 1)
            _exit(2);
        // The program's output goes to standard error, so a shell reading these lines does not wait for it.
        dup2(STDERR_FILENO, STDOUT_FILENO);
        execv(argv[1], argv + 1);
        std::fprintf(stderr, "startup-probe: cannot start %s\n", argv[1]);
        _exit(2);
    }
    close(go[0]);
    const int cpuCounter = openCounter(pid, PERF_COUNT_SW_TASK_CLOCK);
    const int switchCounter = openCounter(pid, PERF_COUNT_SW_CONTEXT_SWITCHES);
    if (write(go[1], "", 1) != 1)
        return 2;
    close(go[1]);

    // New top-level windows are watched for their reparenting; the icon window starts as one.
    const uint32_t windowMask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_window_t icon = XCB_WINDOW_NONE;
    const auto deadline = start + std::chrono::seconds(20);
    pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
    while (std::chrono::steady_clock::now() < deadline) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            const uint8_t type = event->response_type & 0x7f;
            if (type == XCB_CREATE_NOTIFY) {
                const auto* created = reinterpret_cast<xcb_create_notify_event_t*>(event);
                xcb_change_window_attributes(c, created->window, XCB_CW_EVENT_MASK, &windowMask);
                // It may have been reparented before the mask took effect.
                const xcb_window_t parent = parentOf(c, created->window);
                if (parent != XCB_WINDOW_NONE && insideTray(c, root, parent, owner)) {
                    icon = created->window;
                    std::free(event);
                    goto docked;
                }
            } else if (type == XCB_REPARENT_NOTIFY) {
                const auto* reparented = reinterpret_cast<xcb_reparent_notify_event_t*>(event);
                if (insideTray(c, root, reparented->parent, owner)) {
                    icon = reparented->window;
                    std::free(event);
                    goto docked;
                }
            }
            std::free(event);
        }
        xcb_flush(c);
        poll(&fd, 1, 50);
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            std::fprintf(stderr, "startup-probe: %s exited before docking\n", argv[1]);
            return 1;
        }
    }
    std::fprintf(stderr, "startup-probe: nothing docked within 20 s\n");
    kill(pid, SIGTERM);
    std::printf("%d -1 0\n", pid);
    return 1;

docked:
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d %.1f %u\n", pid, ms, icon);
    std::fflush(stdout);
    xcb_disconnect(c);
    for (;;) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return 0;
        siginfo_t info;
        if (sigwaitinfo(&signals, &info) != SIGUSR1)
            continue;
        double cpuMs = 0;
        std::uint64_t switches = 0;
        if (cpuCounter >= 0 && switchCounter >= 0) {
            cpuMs = double(readCounter(cpuCounter)) / 1e6;
            switches = readCounter(switchCounter);
        } else {
            procCounters(pid, cpuMs, switches);
        }
        std::printf("%.1f %llu\n", cpuMs, static_cast<unsigned long long>(switches));
        std::fflush(stdout);
    }
}

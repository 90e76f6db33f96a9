// quillora-favorites-probe: what the user sees of one action on the real binary, and how long its UI
// thread leaves X events unread meanwhile, as the X server sees both.
//
//   run FILE PROGRAM [ARGS...]
//       starts PROGRAM, prints its pid, waits for it to end and writes to FILE the bytes it wrote to
//       storage over its whole life (the write_bytes of /proc/PID/io, which is gone once it has ended)
//   ping WINDOW MS
//       pings WINDOW as below for MS milliseconds; prints "stall_ms S pings N"
//   settle RX RY RW RH FILE [SETTLE_MS] [TIMEOUT_MS]
//       waits until the screen region stays unchanged for SETTLE_MS (1500), then saves it to FILE;
//       prints the milliseconds until its last change
//   click X Y RX RY RW RH FILE [PING_WINDOW] [TIMEOUT_MS]
//   key KEYCODE RX RY RW RH FILE [PING_WINDOW] [TIMEOUT_MS]
//       clicks at (X, Y) or presses one key, then times until
//       the region looks as saved in FILE; prints "ms M stall_ms S pings N" (M is -1 when it never did).
//       With PING_WINDOW, _NET_WM_PING is sent to that window one ping at a time from the action until
//       300 ms after the region matched: S is the longest wait for an answer, the longest time the
//       application's UI thread did not read its X events.
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

struct Region {
    int x, y, width, height;
};

std::string grab(xcb_connection_t* c, xcb_window_t root, const Region& r) {
    Reply<xcb_get_image_reply_t> image(
        xcb_get_image_reply(c,
                            xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root, int16_t(r.x), int16_t(r.y),
                                          uint16_t(r.width), uint16_t(r.height), ~0u),
                            nullptr),
        &std::free);
    if (!image)
        return {};
    const auto* data = reinterpret_cast<const char*>(xcb_get_image_data(image.get()));
    return {data, data + xcb_get_image_data_length(image.get())};
}

// Pings WINDOW one at a time on a connection of its own until stopped; keeps the longest answer.
class Pinger {
public:
    explicit Pinger(xcb_window_t window) {
        if (window == XCB_WINDOW_NONE)
            return;
        m_thread = std::thread([this, window] { run(window); });
    }
    ~Pinger() { stop(); }
    void stop() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    double longest() const { return m_longest; }
    int count() const { return m_count; }

private:
    void run(xcb_window_t window) {
        xcb_connection_t* c = xcb_connect(nullptr, nullptr);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
        const xcb_atom_t protocols = atom(c, "WM_PROTOCOLS"), ping = atom(c, "_NET_WM_PING");
        uint32_t stamp = 1;
        while (!m_stop) {
            xcb_client_message_event_t message{};
            message.response_type = XCB_CLIENT_MESSAGE;
            message.format = 32;
            message.window = window;
            message.type = protocols;
            message.data.data32[0] = ping;
            message.data.data32[1] = ++stamp;
            message.data.data32[2] = window;
            const Clock::time_point sent = Clock::now();
            xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
            xcb_flush(c);
            bool answered = false;
            while (!answered && msSince(sent) < 10000) {
                std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(xcb_poll_for_event(c), &std::free);
                if (!event) {
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                    continue;
                }
                const auto* reply = reinterpret_cast<const xcb_client_message_event_t*>(event.get());
                answered = (event->response_type & 0x7F) == XCB_CLIENT_MESSAGE && reply->type == protocols &&
                           reply->data.data32[0] == ping && reply->data.data32[1] == stamp;
            }
            m_longest = std::max(m_longest.load(), msSince(sent));
            ++m_count;
            if (!answered)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        xcb_disconnect(c);
    }

    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<double> m_longest{0};
    std::atomic<int> m_count{0};
};

void fake(xcb_connection_t* c, uint8_t type, uint8_t detail, xcb_window_t root = XCB_WINDOW_NONE, int x = 0,
          int y = 0) {
    xcb_test_fake_input(c, type, detail, XCB_CURRENT_TIME, root, int16_t(x), int16_t(y), 0);
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 3 && std::strcmp(argv[1], "run") == 0) {
        // The program's own output goes to standard error, so that standard output holds the pid alone.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, argv[3], &actions, nullptr, argv + 3, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0)
            return 1;
        std::printf("%d\n", pid);
        std::fflush(stdout);
        int status = 0;
        rusage usage{};
        if (wait4(pid, &status, 0, &usage) != pid)
            return 1;
        std::ofstream(argv[2]) << usage.ru_oublock * 512 << '\n';
        return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
    }
    if (argc == 4 && std::strcmp(argv[1], "ping") == 0) {
        Pinger pinger(xcb_window_t(std::strtoul(argv[2], nullptr, 0)));
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[3])));
        pinger.stop();
        std::printf("stall_ms %.1f pings %d\n", pinger.longest(), pinger.count());
        return 0;
    }
    if (argc < 7) {
        std::fprintf(stderr, "usage: see the comment at the top of %s\n", __FILE__);
        return 2;
    }
    const std::string command = argv[1];
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;

    if (command == "settle") {
        const Region region{std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5])};
        const double settleMs = argc > 7 ? std::atof(argv[7]) : 1500;
        const double timeoutMs = argc > 8 ? std::atof(argv[8]) : 60000;
        const Clock::time_point start = Clock::now();
        std::string last = grab(c, root, region);
        double changedAt = 0;
        while (msSince(start) - changedAt < settleMs && msSince(start) < timeoutMs) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            std::string now = grab(c, root, region);
            if (now != last) {
                last = std::move(now);
                changedAt = msSince(start);
            }
        }
        std::ofstream(argv[6], std::ios::binary) << last;
        std::printf("%.1f\n", changedAt);
        return 0;
    }

    const int shift = command == "click" ? 1 : 0;
    if (argc < 7 + shift)
        return 2;
    const Region region{std::atoi(argv[3 + shift]), std::atoi(argv[4 + shift]), std::atoi(argv[5 + shift]),
                        std::atoi(argv[6 + shift])};
    std::ifstream file(argv[7 + shift], std::ios::binary);
    const std::string wanted((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const xcb_window_t pingWindow = argc > 8 + shift ? xcb_window_t(std::strtoul(argv[8 + shift], nullptr, 0))
                                                     : xcb_window_t{XCB_WINDOW_NONE};
    const double timeoutMs = argc > 9 + shift ? std::atof(argv[9 + shift]) : 30000;

    Pinger pinger(pingWindow);
    const Clock::time_point start = Clock::now();
    if (command == "click") {
        fake(c, XCB_MOTION_NOTIFY, 0, root, std::atoi(argv[2]), std::atoi(argv[3]));
        fake(c, XCB_BUTTON_PRESS, 1);
        fake(c, XCB_BUTTON_RELEASE, 1);
    } else {
        fake(c, XCB_KEY_PRESS, uint8_t(std::atoi(argv[2])));
        fake(c, XCB_KEY_RELEASE, uint8_t(std::atoi(argv[2])));
    }
    xcb_flush(c);
    double matchedMs = -1;
    while (msSince(start) < timeoutMs) {
        if (grab(c, root, region) == wanted) {
            matchedMs = msSince(start);
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    pinger.stop();
    std::printf("ms %.1f stall_ms %.1f pings %d\n", matchedMs, pinger.longest(), pinger.count());
    xcb_disconnect(c);
    return matchedMs < 0 ? 1 : 0;
}

// quillora-selection-probe PID X1 Y1 X2 Y2 [GESTURES]: double-clicks the words at (X1,Y1) and (X2,Y2) in
// turn through XTest and times, as the X server sees it, each last button release to the first window of
// process PID that is mapped afterwards (the floating bar). Waits for the bar to go before the next
// gesture. Prints each figure in ms, then the median and the 99th percentile.
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

struct Display {
    xcb_connection_t* c = nullptr;
    xcb_window_t root = XCB_WINDOW_NONE;
    xcb_atom_t pidAtom = XCB_ATOM_NONE;
};

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

long windowPid(const Display& d, xcb_window_t window) {
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(d.c, xcb_get_property(d.c, 0, window, d.pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr),
        &std::free);
    if (!reply || xcb_get_property_value_length(reply.get()) < 4)
        return -1;
    return *static_cast<uint32_t*>(xcb_get_property_value(reply.get()));
}

// The resource-id base of the process's X client, from any of its top-level windows.
bool clientBase(const Display& d, long pid, uint32_t& base) {
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(d.c, xcb_query_tree(d.c, d.root), nullptr), &std::free);
    if (!tree)
        return false;
    const uint32_t mask = ~xcb_get_setup(d.c)->resource_id_mask;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        if (windowPid(d, children[i]) == pid) {
            base = children[i] & mask;
            return true;
        }
    }
    return false;
}

void fake(const Display& d, uint8_t type, uint8_t detail, int16_t x = 0, int16_t y = 0) {
    xcb_test_fake_input(d.c, type, detail, XCB_CURRENT_TIME, type == XCB_MOTION_NOTIFY ? d.root : xcb_window_t{XCB_WINDOW_NONE},
                        x, y, 0);
    xcb_flush(d.c);
}

void sync(const Display& d) {
    std::free(xcb_get_input_focus_reply(d.c, xcb_get_input_focus(d.c), nullptr));
}

// The window itself, or the client window inside a window manager's frame, when it belongs to the process.
bool ofProcess(const Display& d, long pid, uint32_t& base, xcb_window_t window) {
    const uint32_t mask = ~xcb_get_setup(d.c)->resource_id_mask;
    std::vector<xcb_window_t> candidates{window};
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(d.c, xcb_query_tree(d.c, window), nullptr), &std::free);
    if (tree) {
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        candidates.insert(candidates.end(), children, children + xcb_query_tree_children_length(tree.get()));
    }
    for (xcb_window_t candidate : candidates) {
        if (base == 0 && windowPid(d, candidate) == pid)
            base = candidate & mask;
        if (base != 0 && (candidate & mask) == base)
            return true;
    }
    return false;
}

// Waits for a top-level map (or unmap) that carries a window of the process; returns the time it took,
// or a negative figure. An unknown client base (0) is learnt from the first window of the process.
double waitFor(const Display& d, long pid, uint32_t& base, uint8_t wanted, Clock::time_point since, int timeoutMs) {
    pollfd fd{xcb_get_file_descriptor(d.c), POLLIN, 0};
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(d.c)) {
            const auto seen = Clock::now();
            const uint8_t type = event->response_type & 0x7f;
            xcb_window_t window = XCB_WINDOW_NONE;
            if (type == XCB_MAP_NOTIFY)
                window = reinterpret_cast<xcb_map_notify_event_t*>(event)->window;
            else if (type == XCB_UNMAP_NOTIFY)
                window = reinterpret_cast<xcb_unmap_notify_event_t*>(event)->window;
            std::free(event);
            if (type == wanted && window != XCB_WINDOW_NONE && ofProcess(d, pid, base, window))
                return std::chrono::duration<double, std::milli>(seen - since).count();
        }
        poll(&fd, 1, 5);
    }
    return -1;
}

void drain(const Display& d) {
    while (xcb_generic_event_t* event = xcb_poll_for_event(d.c))
        std::free(event);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: %s PID X1 Y1 X2 Y2 [GESTURES]\n", argv[0]);
        return 2;
    }
    const long pid = std::atol(argv[1]);
    const int16_t points[2][2] = {{static_cast<int16_t>(std::atoi(argv[2])), static_cast<int16_t>(std::atoi(argv[3]))},
                                  {static_cast<int16_t>(std::atoi(argv[4])), static_cast<int16_t>(std::atoi(argv[5]))}};
    const int gestures = argc > 6 ? std::atoi(argv[6]) : 50;

    Display d;
    d.c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(d.c))
        return 2;
    d.root = xcb_setup_roots_iterator(xcb_get_setup(d.c)).data->root;
    d.pidAtom = atom(d.c, "_NET_WM_PID");
    uint32_t base = 0;
    clientBase(d, pid, base);
    // Top-level maps and unmaps are reported on the root window.
    const uint32_t rootMask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(d.c, d.root, XCB_CW_EVENT_MASK, &rootMask);
    sync(d);

    std::vector<double> figures;
    for (int i = 0; i < gestures; ++i) {
        const int16_t* p = points[i % 2];
        fake(d, XCB_MOTION_NOTIFY, 0, p[0], p[1]);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        fake(d, XCB_BUTTON_PRESS, 1);
        fake(d, XCB_BUTTON_RELEASE, 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        fake(d, XCB_BUTTON_PRESS, 1);
        sync(d);
        drain(d);
        fake(d, XCB_BUTTON_RELEASE, 1);
        const auto released = Clock::now();
        const double ms = waitFor(d, pid, base, XCB_MAP_NOTIFY, released, 3000);
        if (ms < 0) {
            std::printf("gesture %d: no bar\n", i + 1);
        } else {
            figures.push_back(ms);
            std::printf("gesture %d: %.2f ms\n", i + 1, ms);
        }
        std::fflush(stdout);
        // The bar hides by itself; the selection cooldown has passed by then too.
        waitFor(d, pid, base, XCB_UNMAP_NOTIFY, Clock::now(), 4000);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    if (figures.empty())
        return 1;
    std::sort(figures.begin(), figures.end());
    const size_t n = figures.size();
    const double median = n % 2 ? figures[n / 2] : (figures[n / 2 - 1] + figures[n / 2]) / 2;
    const double p99 = figures[std::min(n - 1, static_cast<size_t>(0.99 * static_cast<double>(n)))];
    std::printf("release to bar mapped over %zu gestures: median %.2f ms, 99th percentile %.2f ms, max %.2f ms\n",
                n, median, p99, figures.back());
    xcb_disconnect(d.c);
    return 0;
}

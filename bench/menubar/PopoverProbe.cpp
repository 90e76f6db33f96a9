// quillora-popover-probe X Y [RUNS]: clicks the tray icon at (X, Y) through XTest and times, as the X
// server sees it, the click to the popover's window mapped and to its first painted frame (the first
// moment a pixel of its panel is no longer the black of the bare desktop); then presses Escape and waits
// for the window to go. Prints one line per run and min / median / max.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

namespace {

using Clock = std::chrono::steady_clock;

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// One pixel value of the root window.
uint32_t pixelAt(xcb_connection_t* c, xcb_window_t root, int x, int y) {
    Reply<xcb_get_image_reply_t> image(
        xcb_get_image_reply(
            c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root, int16_t(x), int16_t(y), 1, 1, ~0u), nullptr),
        &std::free);
    if (!image || xcb_get_image_data_length(image.get()) < 4)
        return 0;
    uint32_t value = 0;
    std::copy_n(xcb_get_image_data(image.get()), 4, reinterpret_cast<uint8_t*>(&value));
    return value & 0xFFFFFF;
}

struct Mapped {
    xcb_window_t window = XCB_WINDOW_NONE;
    int x = 0, y = 0, width = 0, height = 0;
};

// Waits for a top-level window 400 wide to be mapped.
Mapped waitForPopover(xcb_connection_t* c, xcb_window_t root, Clock::time_point deadline) {
    while (Clock::now() < deadline) {
        std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(xcb_poll_for_event(c), &std::free);
        if (!event) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            continue;
        }
        if ((event->response_type & 0x7F) != XCB_MAP_NOTIFY)
            continue;
        const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event.get());
        Reply<xcb_get_geometry_reply_t> geometry(
            xcb_get_geometry_reply(c, xcb_get_geometry(c, map->window), nullptr), &std::free);
        if (!geometry || geometry->width != 400)
            continue;
        Reply<xcb_translate_coordinates_reply_t> at(
            xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, map->window, root, 0, 0),
                                            nullptr),
            &std::free);
        return {map->window, at ? at->dst_x : geometry->x, at ? at->dst_y : geometry->y, geometry->width,
                geometry->height};
    }
    return {};
}

void waitForUnmap(xcb_connection_t* c, xcb_window_t window, Clock::time_point deadline) {
    while (Clock::now() < deadline) {
        std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(xcb_poll_for_event(c), &std::free);
        if (!event) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        if ((event->response_type & 0x7F) == XCB_UNMAP_NOTIFY &&
            reinterpret_cast<xcb_unmap_notify_event_t*>(event.get())->window == window)
            return;
    }
}

void summary(const char* what, std::vector<double> values) {
    if (values.empty())
        return;
    std::sort(values.begin(), values.end());
    std::printf("%s: min %.1f ms, median %.1f ms, max %.1f ms (%zu runs)\n", what, values.front(),
                values[values.size() / 2], values.back(), values.size());
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s X Y [RUNS]\n", argv[0]);
        return 2;
    }
    const int iconX = std::atoi(argv[1]);
    const int iconY = std::atoi(argv[2]);
    const int runs = argc > 3 ? std::atoi(argv[3]) : 20;
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);

    std::vector<double> mapped, painted;
    // The Escape key's code in the server's keymap (9 on the usual evdev layouts).
    const uint8_t escape = 9;
    for (int run = 0; run < runs; ++run) {
        const Clock::time_point start = Clock::now();
        xcb_test_fake_input(c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root, int16_t(iconX), int16_t(iconY),
                            0);
        xcb_test_fake_input(c, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
        xcb_test_fake_input(c, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
        xcb_flush(c);
        const Mapped popover = waitForPopover(c, root, start + std::chrono::seconds(5));
        if (!popover.window) {
            std::fprintf(stderr, "run %d: no popover\n", run);
            return 1;
        }
        const double mapMs = msSince(start);
        const int x = popover.x + popover.width / 2, y = popover.y + 60;
        double paintMs = -1;
        while (msSince(start) < 5000) {
            // The bench desktop is black where the popover opens; the panel is not.
            if (pixelAt(c, root, x, y) != 0) {
                paintMs = msSince(start);
                break;
            }
        }
        mapped.push_back(mapMs);
        if (paintMs >= 0)
            painted.push_back(paintMs);
        std::printf("run %d: mapped %.1f ms, painted %.1f ms\n", run, mapMs, paintMs);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        xcb_test_fake_input(c, XCB_KEY_PRESS, escape, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
        xcb_test_fake_input(c, XCB_KEY_RELEASE, escape, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
        xcb_flush(c);
        waitForUnmap(c, popover.window, Clock::now() + std::chrono::seconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
    }
    summary("click to popover mapped", mapped);
    summary("click to first painted frame", painted);
    xcb_disconnect(c);
    return 0;
}

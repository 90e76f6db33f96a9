// quillora-test-grabkey KEYCODE MODIFIERS
// Another X client that holds a passive grab of one key combination on the root window (with every
// CapsLock/NumLock variant, as hot-key daemons do) until its standard input closes or it is killed.
// Prints "ready" once the grabs are held, "failed" when the server refused them.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <xcb/xcb.h>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s KEYCODE MODIFIERS\n", argv[0]);
        return 2;
    }
    const auto keycode = static_cast<xcb_keycode_t>(std::atoi(argv[1]));
    const auto modifiers = static_cast<std::uint16_t>(std::atoi(argv[2]));
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::puts("failed");
        return 1;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    bool granted = true;
    for (int lock :
         {0, int(XCB_MOD_MASK_LOCK), int(XCB_MOD_MASK_2), int(XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK)}) {
        const xcb_void_cookie_t cookie =
            xcb_grab_key_checked(connection, 1, root, std::uint16_t(modifiers | lock), keycode,
                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        if (xcb_generic_error_t* error = xcb_request_check(connection, cookie)) {
            granted = false;
            std::free(error);
        }
    }
    std::puts(granted ? "ready" : "failed");
    std::fflush(stdout);
    // Hold the grab until the test lets go.
    while (std::getchar() != EOF) {
    }
    xcb_disconnect(connection);
    return granted ? 0 : 1;
}

#pragma once

#include <QElapsedTimer>
#include <cstdint>
#include <cstdlib>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

// Another client pressing keys through XTest on a connection of its own, as a keyboard would.
class XTestKeyboard {
public:
    XTestKeyboard()
        : m_connection(xcb_connect(nullptr, nullptr)) {}
    ~XTestKeyboard() { xcb_disconnect(m_connection); }
    XTestKeyboard(const XTestKeyboard&) = delete;
    XTestKeyboard& operator=(const XTestKeyboard&) = delete;

    bool ok() const { return !xcb_connection_has_error(m_connection); }
    void keys(const std::vector<std::uint8_t>& keycodes, bool down) {
        for (std::uint8_t keycode : keycodes)
            xcb_test_fake_input(m_connection, down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keycode,
                                XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(m_connection);
    }
    void key(std::uint8_t keycode, bool down) { keys({keycode}, down); }
    double roundTripMs() {
        QElapsedTimer timer;
        timer.start();
        std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
        return double(timer.nsecsElapsed()) / 1e6;
    }

private:
    xcb_connection_t* m_connection;
};

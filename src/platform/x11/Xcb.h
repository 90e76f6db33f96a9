#pragma once

#include <QPoint>
#include <cstdlib>
#include <memory>
#include <vector>
#include <xcb/xcb.h>

// What every user of Qt's X connection needs: the connection, and atoms interned in one round trip.
class Xcb {
public:
    // Qt's own connection to the X server; null off X11 (the tests' offscreen platform, Wayland).
    static xcb_connection_t* qtConnection();
    // Sends what Qt has queued on its connection now.
    static void flushQtConnection();

    // The questions go out now; atomReplies() collects the answers, so that other requests can share the
    // round trip.
    static std::vector<xcb_intern_atom_cookie_t> requestAtoms(xcb_connection_t* connection,
                                                              const std::vector<const char*>& names);
    // In the order asked; XCB_ATOM_NONE for any the server did not answer.
    static std::vector<xcb_atom_t> atomReplies(xcb_connection_t* connection,
                                               const std::vector<xcb_intern_atom_cookie_t>& cookies);
    static std::vector<xcb_atom_t> internAtoms(xcb_connection_t* connection,
                                               const std::vector<const char*>& names) {
        return atomReplies(connection, requestAtoms(connection, names));
    }
    static xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
        return internAtoms(connection, {name}).front();
    }

    // A point of the screen in Qt's device-independent coordinates as the server counts pixels.
    static QPoint nativePosition(QPoint position);

    // The atoms a window's property of type ATOM holds (its state, its types); empty when it has none.
    static std::vector<xcb_atom_t> atomList(xcb_connection_t* connection, xcb_window_t window,
                                            xcb_atom_t property);
};

// A reply (or error) from xcb, which the caller frees.
struct XcbFree {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using XcbReply = std::unique_ptr<T, XcbFree>;

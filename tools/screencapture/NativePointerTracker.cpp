#include "NativePointerTracker.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <xcb/xcb.h>
#include <xcb/xinput.h>

NativePointerTracker::NativePointerTracker() {
    if (auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr) {
        const xcb_query_extension_reply_t* xinput = xcb_get_extension_data(x11->connection(), &xcb_input_id);
        if (xinput && xinput->present)
            m_xinputOpcode = xinput->major_opcode;
    }
    QCoreApplication::instance()->installNativeEventFilter(this);
}

NativePointerTracker::~NativePointerTracker() {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

std::optional<QPoint> NativePointerTracker::pressAt(ulong timestamp) const {
    if (m_press.valid && m_press.timestamp == timestamp)
        return m_press.position;
    return std::nullopt;
}

std::optional<QPoint> NativePointerTracker::releaseAt(ulong timestamp) const {
    if (m_release.valid && m_release.timestamp == timestamp)
        return m_release.position;
    return std::nullopt;
}

void NativePointerTracker::record(bool press, int button, ulong timestamp, QPoint position) {
    if (button != XCB_BUTTON_INDEX_1)
        return;
    Sample& sample = press ? m_press : m_release;
    sample = Sample{timestamp, position, true};
}

bool NativePointerTracker::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const uint8_t type = event->response_type & 0x7f;
    if (type == XCB_BUTTON_PRESS || type == XCB_BUTTON_RELEASE) {
        const auto* button = reinterpret_cast<const xcb_button_press_event_t*>(event);
        record(type == XCB_BUTTON_PRESS, button->detail, button->time,
               QPoint(button->root_x, button->root_y));
    } else if (type == XCB_GE_GENERIC && m_xinputOpcode >= 0) {
        const auto* generic = reinterpret_cast<const xcb_ge_generic_event_t*>(event);
        if (generic->extension != m_xinputOpcode)
            return false;
        if (generic->event_type != XCB_INPUT_BUTTON_PRESS && generic->event_type != XCB_INPUT_BUTTON_RELEASE)
            return false;
        const auto* button = reinterpret_cast<const xcb_input_button_press_event_t*>(event);
        // 16.16 fixed point; the pointer sits on whole pixels.
        const QPoint root(qRound(button->root_x / 65536.0), qRound(button->root_y / 65536.0));
        record(generic->event_type == XCB_INPUT_BUTTON_PRESS, int(button->detail), button->time, root);
    }
    return false;
}

#include "platform/x11/X11GlobalMouseMonitor.h"

#include "platform/DebugLog.h"
#include "platform/x11/XcbExtensionsOnDemand.h"

#include <QGuiApplication>
#include <QPointF>
#include <QPointer>
#include <QScreen>
#include <QSocketNotifier>
#include <QStyleHints>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <qpa/qplatformscreen.h>
#include <xcb/xcb.h>
#include <xcb/xinput.h>

// Last: its macros clash with Qt's names.
#include <X11/Xlib.h>

namespace {

const QString kTag = QStringLiteral("GlobalMouseMonitor");
constexpr quint32 kLeftButton = 1;
constexpr quint32 kRightButton = 3;

// The display Qt itself talks to, so both connections see the same desktop even when it was chosen
// with -display rather than $DISPLAY.
QByteArray qtDisplayName() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 && x11->display())
        return QByteArray(XDisplayString(x11->display()));
    return {};
}

int distanceOutside(const QRect& rect, QPoint p) {
    const int dx = std::max({rect.left() - p.x(), 0, p.x() - rect.right()});
    const int dy = std::max({rect.top() - p.y(), 0, p.y() - rect.bottom()});
    return dx + dy;
}

} // namespace

X11GlobalMouseMonitor::X11GlobalMouseMonitor(QObject* parent)
    : GlobalMouseMonitor(parent) {}

X11GlobalMouseMonitor::~X11GlobalMouseMonitor() {
    disconnectFromDisplay();
}

bool X11GlobalMouseMonitor::start(Handler handler) {
    if (m_connection) {
        m_handler = std::move(handler);
        return true;
    }

    const QByteArray displayName = qtDisplayName();
    int screenNumber = 0;
    xcb_connection_t* connection =
        xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &screenNumber);
    const auto fail = [&](const QString& why) {
        debugLog(kTag, why);
        xcb_disconnect(connection);
        return false;
    };
    if (xcb_connection_has_error(connection))
        return fail(QStringLiteral("cannot connect to the X display"));

    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (!screens.rem)
        return fail(QStringLiteral("the display has no screen %1").arg(screenNumber));
    const xcb_window_t root = screens.data->root;

    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection, XcbExtensionsOnDemand::input());
    if (!extension || !extension->present)
        return fail(QStringLiteral("the display has no XInputExtension"));
    // Asking for 2.2 makes the server deliver raw events even while another client grabs the pointer.
    xcb_input_xi_query_version_reply_t* version =
        xcb_input_xi_query_version_reply(connection, xcb_input_xi_query_version(connection, 2, 2), nullptr);
    const bool hasXI2 = version && version->major_version >= 2;
    std::free(version);
    if (!hasXI2)
        return fail(QStringLiteral("the display has no XInput 2"));

    m_connection = connection;
    m_root = root;
    m_xinputOpcode = extension->major_opcode;
    m_handler = std::move(handler);
    m_buttonHeld = false;
    m_motionPending = false;
    m_clicks.reset();
    ++m_generation;
    readButtonMapping();
    selectEvents(false);

    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(connection), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11GlobalMouseMonitor::readEvents);
    // The version reply may have brought events along; they would not wake the notifier.
    readEvents();
    return isRunning();
}

void X11GlobalMouseMonitor::stop() {
    disconnectFromDisplay();
    m_handler = nullptr;
}

void X11GlobalMouseMonitor::disconnectFromDisplay() {
    if (!m_connection)
        return;
    ++m_generation;
    // stop() may run inside the notifier's own signal, so it is deleted later; disabled, it no longer
    // watches the descriptor that is closed below.
    m_notifier->setEnabled(false);
    m_notifier->deleteLater();
    m_notifier = nullptr;
    xcb_disconnect(m_connection);
    m_connection = nullptr;
    m_buttonHeld = false;
    m_motionPending = false;
}

void X11GlobalMouseMonitor::selectEvents(bool withMotion) {
    struct {
        xcb_input_event_mask_t header;
        uint32_t bits;
    } mask{};
    mask.header.deviceid = XCB_INPUT_DEVICE_ALL_MASTER;
    mask.header.mask_len = 1;
    mask.bits = XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE;
    if (withMotion)
        mask.bits |= XCB_INPUT_XI_EVENT_MASK_RAW_MOTION;
    xcb_input_xi_select_events(m_connection, m_root, 1, &mask.header);
    xcb_flush(m_connection);
}

void X11GlobalMouseMonitor::readEvents() {
    if (!m_connection)
        return;
    // Everything queued is handled in one go; motion in between is folded into one drag event, read at
    // the pointer's position when the batch ends (or before the next button event).
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        int rawType = -1;
        quint32 time = 0;
        quint32 detail = 0;
        bool mappingChanged = false;
        const uint8_t responseType = event->response_type & 0x7f;
        if (responseType == XCB_GE_GENERIC &&
            reinterpret_cast<xcb_ge_generic_event_t*>(event)->extension == m_xinputOpcode) {
            const auto* raw = reinterpret_cast<xcb_input_raw_button_press_event_t*>(event);
            rawType = raw->event_type;
            time = raw->time;
            detail = raw->detail;
        } else if (responseType == XCB_MAPPING_NOTIFY) {
            mappingChanged = reinterpret_cast<xcb_mapping_notify_event_t*>(event)->request == XCB_MAPPING_POINTER;
        }
        std::free(event);
        if (mappingChanged)
            readButtonMapping();
        if (rawType >= 0 && !handleRawEvent(rawType, time, detail))
            return;
    }
    if (m_motionPending && !flushMotion())
        return;
    if (xcb_connection_has_error(m_connection)) {
        qWarning("Quillora: the X connection of the mouse monitor broke; global mouse events stop");
        disconnectFromDisplay();
    }
}

void X11GlobalMouseMonitor::readButtonMapping() {
    // Asked of the server only, at start and when the mapping changes.
    xcb_get_pointer_mapping_reply_t* reply =
        xcb_get_pointer_mapping_reply(m_connection, xcb_get_pointer_mapping(m_connection), nullptr);
    m_buttonMapping.clear();
    if (reply) {
        const uint8_t* map = xcb_get_pointer_mapping_map(reply);
        m_buttonMapping = QList<quint8>(map, map + xcb_get_pointer_mapping_map_length(reply));
    }
    std::free(reply);
}

quint32 X11GlobalMouseMonitor::logicalButton(quint32 physical) const {
    if (physical == 0 || physical > quint32(m_buttonMapping.size()))
        return physical;
    return m_buttonMapping[physical - 1];
}

bool X11GlobalMouseMonitor::handleRawEvent(int type, quint32 timeMs, quint32 physicalButton) {
    const quint32 button = logicalButton(physicalButton);
    switch (type) {
    case XCB_INPUT_RAW_BUTTON_PRESS: {
        if (button == kRightButton)
            return reportRightPress(timeMs);
        if (button != kLeftButton)
            return true;
        if (m_motionPending && !flushMotion())
            return false;
        const std::optional<QPoint> position = pointerPosition();
        if (!position)
            return true;
        m_buttonHeld = true;
        m_lastDragPosition = *position;
        selectEvents(true);
        const QStyleHints* hints = QGuiApplication::styleHints();
        m_pressClickCount = m_clicks.press(timeMs, *position, hints->mouseDoubleClickInterval(),
                                           hints->mouseDoubleClickDistance());
        return emitEvent(GlobalMouseEvent::Type::LeftMouseDown, *position, timeMs, m_pressClickCount);
    }
    case XCB_INPUT_RAW_BUTTON_RELEASE: {
        // A release whose press came before start() is not ours to report.
        if (button != kLeftButton || !m_buttonHeld)
            return true;
        if (m_motionPending && !flushMotion())
            return false;
        m_buttonHeld = false;
        selectEvents(false);
        const std::optional<QPoint> position = pointerPosition();
        if (!position)
            return true;
        // A pointer warped while held (no device motion, so no raw motion) still moved: a release away
        // from the last reported position is preceded by the drag to it.
        if (position != m_lastDragPosition &&
            !emitEvent(GlobalMouseEvent::Type::LeftMouseDragged, *position, timeMs, m_pressClickCount))
            return false;
        return emitEvent(GlobalMouseEvent::Type::LeftMouseUp, *position, timeMs, m_pressClickCount);
    }
    case XCB_INPUT_RAW_MOTION:
        // The deselection may still have motion in flight behind the release.
        if (m_buttonHeld) {
            m_motionPending = true;
            m_motionTime = timeMs;
        }
        return true;
    default:
        return true;
    }
}

bool X11GlobalMouseMonitor::flushMotion() {
    m_motionPending = false;
    const std::optional<QPoint> position = pointerPosition();
    if (!position || position == m_lastDragPosition)
        return true;
    m_lastDragPosition = *position;
    return emitEvent(GlobalMouseEvent::Type::LeftMouseDragged, *position, m_motionTime, m_pressClickCount);
}

bool X11GlobalMouseMonitor::reportRightPress(quint32 timeMs) {
    // Pending drag motion happened before this press, so it goes out first. Another button's press ends
    // the left button's click series, as toolkits count clicks; motion selection is left as it is.
    if (m_motionPending && !flushMotion())
        return false;
    m_clicks.reset();
    const std::optional<QPoint> position = pointerPosition();
    if (!position)
        return true;
    return emitEvent(GlobalMouseEvent::Type::RightMouseDown, *position, timeMs, 1);
}

bool X11GlobalMouseMonitor::emitEvent(GlobalMouseEvent::Type type, QPoint position, quint32 timeMs,
                                      int clickCount) {
    if (!m_handler)
        return true;
    GlobalMouseEvent event;
    event.type = type;
    event.position = position;
    event.clickCount = clickCount;
    event.timestampMs = timeMs;
    const quint64 generation = m_generation;
    QPointer<X11GlobalMouseMonitor> self(this);
    // A copy: the handler may replace itself or stop the monitor.
    const Handler handler = m_handler;
    handler(event);
    return self && m_generation == generation;
}

std::optional<QPoint> X11GlobalMouseMonitor::pointerPosition() {
    xcb_query_pointer_reply_t* reply =
        xcb_query_pointer_reply(m_connection, xcb_query_pointer(m_connection, m_root), nullptr);
    if (!reply)
        return std::nullopt;
    const bool onThisScreen = reply->same_screen;
    const QPoint native(reply->root_x, reply->root_y);
    std::free(reply);
    if (!onThisScreen)
        return std::nullopt;
    return toDeviceIndependent(native, currentScreenMappings());
}

QList<X11GlobalMouseMonitor::ScreenMapping> X11GlobalMouseMonitor::currentScreenMappings() {
    QList<ScreenMapping> mappings;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect native = screen->handle() ? screen->handle()->geometry() : screen->geometry();
        mappings.append({native, screen->geometry()});
    }
    return mappings;
}

QPoint X11GlobalMouseMonitor::toDeviceIndependent(QPoint nativePosition,
                                                  const QList<ScreenMapping>& screens) {
    const ScreenMapping* best = nullptr;
    int bestDistance = INT_MAX;
    for (const ScreenMapping& screen : screens) {
        if (screen.nativeGeometry.isEmpty() || screen.logicalGeometry.isEmpty())
            continue;
        const int distance = distanceOutside(screen.nativeGeometry, nativePosition);
        if (distance < bestDistance) {
            best = &screen;
            bestDistance = distance;
        }
        if (distance == 0)
            break;
    }
    if (!best)
        return nativePosition;
    const QRect& native = best->nativeGeometry;
    const QRect& logical = best->logicalGeometry;
    const QPointF offset = nativePosition - native.topLeft();
    const QPointF scaled(offset.x() * logical.width() / native.width(),
                         offset.y() * logical.height() / native.height());
    return logical.topLeft() + scaled.toPoint();
}

int X11GlobalMouseMonitor::ClickCounter::press(quint32 timeMs, QPoint position, int intervalMs,
                                               int distance) {
    int count = 1;
    // Unsigned difference: the server clock wraps after 49 days.
    if (m_last && quint32(timeMs - m_last->timeMs) < quint32(intervalMs) &&
        qAbs(position.x() - m_last->position.x()) <= distance &&
        qAbs(position.y() - m_last->position.y()) <= distance)
        count = m_last->count + 1;
    m_last = Last{timeMs, position, count};
    return count;
}

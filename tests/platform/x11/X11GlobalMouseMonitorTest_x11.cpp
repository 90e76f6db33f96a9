// The X11 mouse monitor against a real display: xdotool moves the pointer over another application.
#include "TestUtils.h"
#include "TextWindowProcess.h"
#include "platform/x11/X11GlobalMouseMonitor.h"

#include <QCursor>
#include <QGuiApplication>
#include <QProcess>
#include <QSocketNotifier>
#include <QStyleHints>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

namespace {

using Type = GlobalMouseEvent::Type;

// Warps the pointer: no device motion, so no raw motion either.
QStringList at(QPoint p) {
    return {QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())};
}

// Moves the pointer as a mouse does, through the XTEST pointer device.
QStringList by(QPoint delta) {
    return {QStringLiteral("mousemove_relative"), QStringLiteral("--"), QString::number(delta.x()),
            QString::number(delta.y())};
}

// Sets the display's pointer mapping (physical button n gives logical button map[n - 1]).
bool setPointerMapping(const QList<quint8>& map) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    xcb_set_pointer_mapping_reply_t* reply = xcb_set_pointer_mapping_reply(
        connection, xcb_set_pointer_mapping(connection, quint8(map.size()), map.constData()), nullptr);
    const bool done = reply && reply->status == XCB_MAPPING_STATUS_SUCCESS;
    std::free(reply);
    return done;
}

QList<quint8> pointerMapping() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return {};
    xcb_get_pointer_mapping_reply_t* reply =
        xcb_get_pointer_mapping_reply(connection, xcb_get_pointer_mapping(connection), nullptr);
    QList<quint8> map;
    if (reply) {
        const uint8_t* values = xcb_get_pointer_mapping_map(reply);
        map = QList<quint8>(values, values + xcb_get_pointer_mapping_map_length(reply));
    }
    std::free(reply);
    return map;
}

class X11GlobalMouseMonitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_client.start({QStringLiteral("--text"), QStringLiteral("drag over this text please")}));
        m_inside = m_client.textEditGeometry().topLeft() + QPoint(20, 20);
        // Start each test with the button up; a new monitor counts clicks afresh.
        xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
    }

    void startMonitor() {
        ASSERT_TRUE(m_monitor.start([this](const GlobalMouseEvent& event) { m_events.append(event); }));
        ASSERT_TRUE(m_monitor.isRunning());
    }

    bool waitForEvent(Type type, QPoint position, int timeoutMs = 5000) {
        return waitUntil(
            [&] {
                return std::any_of(m_events.cbegin(), m_events.cend(), [&](const GlobalMouseEvent& e) {
                    return e.type == type && e.position == position;
                });
            },
            timeoutMs);
    }

    QList<GlobalMouseEvent> eventsOf(Type type) const {
        QList<GlobalMouseEvent> out;
        for (const GlobalMouseEvent& e : m_events) {
            if (e.type == type)
                out.append(e);
        }
        return out;
    }

    TextWindowProcess m_client{QStringLiteral(QUILLORA_TEST_TEXTWINDOW_PATH)};
    X11GlobalMouseMonitor m_monitor;
    QList<GlobalMouseEvent> m_events;
    QPoint m_inside;
};

TEST_F(X11GlobalMouseMonitorTest, ReportsADragInAnotherApplication) {
    startMonitor();
    const QPoint start = m_inside;
    const QPoint middle = start + QPoint(40, 0);
    const QPoint end = start + QPoint(90, 6);

    ASSERT_TRUE(xdotool(at(start)));
    ASSERT_TRUE(xdotool({QStringLiteral("mousedown"), QStringLiteral("1")}));
    ASSERT_TRUE(waitForEvent(Type::LeftMouseDown, start));
    ASSERT_TRUE(xdotool(by(middle - start)));
    ASSERT_TRUE(waitForEvent(Type::LeftMouseDragged, middle));
    ASSERT_TRUE(xdotool(by(end - middle)));
    ASSERT_TRUE(waitForEvent(Type::LeftMouseDragged, end));
    ASSERT_TRUE(xdotool({QStringLiteral("mouseup"), QStringLiteral("1")}));
    ASSERT_TRUE(waitForEvent(Type::LeftMouseUp, end));

    // Down first, drags in between, up last, all of one press.
    ASSERT_GE(m_events.size(), 4);
    EXPECT_EQ(m_events.first().type, Type::LeftMouseDown);
    EXPECT_EQ(m_events.last().type, Type::LeftMouseUp);
    for (qsizetype i = 1; i + 1 < m_events.size(); ++i)
        EXPECT_EQ(m_events[i].type, Type::LeftMouseDragged);
    for (const GlobalMouseEvent& e : m_events)
        EXPECT_EQ(e.clickCount, 1);
    EXPECT_LE(m_events.first().timestampMs, m_events.last().timestampMs);
    EXPECT_GT(m_events.first().timestampMs, 0);

    // The other application saw its press where the monitor did.
    const QString press = QStringLiteral("press %1 %2").arg(start.x()).arg(start.y());
    EXPECT_GE(m_client.waitForLine(press), 0);
}

TEST_F(X11GlobalMouseMonitorTest, AWarpedDragStillEndsWithADragToTheRelease) {
    startMonitor();
    const QPoint start = m_inside;
    const QPoint end = start + QPoint(120, 10);
    ASSERT_TRUE(xdotool(at(start)));
    ASSERT_TRUE(xdotool({QStringLiteral("mousedown"), QStringLiteral("1")}));
    ASSERT_TRUE(waitForEvent(Type::LeftMouseDown, start));
    ASSERT_TRUE(xdotool(at(end)));
    ASSERT_TRUE(xdotool({QStringLiteral("mouseup"), QStringLiteral("1")}));
    ASSERT_TRUE(waitForEvent(Type::LeftMouseUp, end));

    ASSERT_EQ(m_events.size(), 3);
    EXPECT_EQ(m_events[1].type, Type::LeftMouseDragged);
    EXPECT_EQ(m_events[1].position, end);

    // A click in place has no drag.
    m_events.clear();
    ASSERT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("1")}));
    ASSERT_TRUE(waitUntil([&] { return eventsOf(Type::LeftMouseUp).size() == 1; }));
    EXPECT_TRUE(eventsOf(Type::LeftMouseDragged).isEmpty());
}

TEST_F(X11GlobalMouseMonitorTest, CountsDoubleAndTripleClicks) {
    startMonitor();
    ASSERT_TRUE(xdotool(at(m_inside)));
    ASSERT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                         QStringLiteral("--delay"), QStringLiteral("60"), QStringLiteral("1")}));
    ASSERT_TRUE(waitUntil([&] { return eventsOf(Type::LeftMouseUp).size() == 2; }));
    EXPECT_EQ(eventsOf(Type::LeftMouseDown)[0].clickCount, 1);
    EXPECT_EQ(eventsOf(Type::LeftMouseDown)[1].clickCount, 2);
    EXPECT_EQ(eventsOf(Type::LeftMouseUp)[1].clickCount, 2) << "the release belongs to the double click";

    // Away from the last press a click starts anew, however soon it comes.
    m_events.clear();
    const int away = QGuiApplication::styleHints()->mouseDoubleClickDistance() + 20;
    ASSERT_TRUE(xdotool(at(m_inside + QPoint(away, 0))));
    ASSERT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("3"),
                         QStringLiteral("--delay"), QStringLiteral("60"), QStringLiteral("1")}));
    ASSERT_TRUE(waitUntil([&] { return eventsOf(Type::LeftMouseUp).size() == 3; }));
    EXPECT_EQ(eventsOf(Type::LeftMouseDown)[0].clickCount, 1) << "a click away from the last starts anew";
    EXPECT_EQ(eventsOf(Type::LeftMouseDown)[2].clickCount, 3);
    EXPECT_TRUE(eventsOf(Type::LeftMouseDragged).isEmpty());
}

TEST_F(X11GlobalMouseMonitorTest, AMovingPointerWithTheButtonUpWakesNothing) {
    startMonitor();
    auto* notifier = m_monitor.findChild<QSocketNotifier*>();
    ASSERT_NE(notifier, nullptr);
    int wakeUps = 0;
    QObject::connect(notifier, &QSocketNotifier::activated, [&] { ++wakeUps; });

    ASSERT_TRUE(xdotool(at(m_inside)));
    settleDisplay();
    wakeUps = 0;
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(xdotool(by(QPoint(15, 3))));
    settleDisplay();
    EXPECT_EQ(wakeUps, 0);
    EXPECT_TRUE(m_events.isEmpty());

    // After a drag ends, motion is deselected again.
    ASSERT_TRUE(xdotool({QStringLiteral("mousedown"), QStringLiteral("1")}));
    ASSERT_TRUE(waitUntil([&] { return !eventsOf(Type::LeftMouseDown).isEmpty(); }));
    ASSERT_TRUE(xdotool(by(QPoint(50, 0))));
    ASSERT_TRUE(waitUntil([&] { return !eventsOf(Type::LeftMouseDragged).isEmpty(); }));
    ASSERT_TRUE(xdotool({QStringLiteral("mouseup"), QStringLiteral("1")}));
    ASSERT_TRUE(waitUntil([&] { return !eventsOf(Type::LeftMouseUp).isEmpty(); }));
    settleDisplay();
    wakeUps = 0;
    m_events.clear();
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(xdotool(by(QPoint(-10, 4))));
    settleDisplay();
    EXPECT_EQ(wakeUps, 0);
    EXPECT_TRUE(eventsOf(Type::LeftMouseDragged).isEmpty());
}

TEST_F(X11GlobalMouseMonitorTest, TheRightButtonIsReportedOnlyByItsPress) {
    startMonitor();
    auto* notifier = m_monitor.findChild<QSocketNotifier*>();
    ASSERT_NE(notifier, nullptr);
    ASSERT_TRUE(xdotool(at(m_inside)));
    ASSERT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("2")}));
    ASSERT_TRUE(xdotool({QStringLiteral("mousedown"), QStringLiteral("3")}));
    ASSERT_TRUE(waitForEvent(Type::RightMouseDown, m_inside));
    settleDisplay();
    // Holding the right button selects no motion.
    int wakeUps = 0;
    QObject::connect(notifier, &QSocketNotifier::activated, [&] { ++wakeUps; });
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(xdotool(by(QPoint(10, 0))));
    settleDisplay();
    EXPECT_EQ(wakeUps, 0);
    ASSERT_TRUE(xdotool({QStringLiteral("mouseup"), QStringLiteral("3")}));
    // Escape closes whatever the right button opened in the client.
    xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    settleDisplay();
    ASSERT_EQ(m_events.size(), 1) << "neither the middle button nor the right release is reported";
    EXPECT_EQ(m_events[0].type, Type::RightMouseDown);
    EXPECT_EQ(m_events[0].clickCount, 1);
    EXPECT_GT(m_events[0].timestampMs, 0);

    // A right click between two left clicks ends the click series: the second left click is a single one.
    m_events.clear();
    ASSERT_TRUE(xdotool(at(m_inside)));
    ASSERT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("1")}));
    ASSERT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("3")}));
    ASSERT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("1")}));
    xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    ASSERT_TRUE(waitUntil([&] { return eventsOf(Type::LeftMouseUp).size() == 2; }));
    EXPECT_EQ(eventsOf(Type::RightMouseDown).size(), 1);
    EXPECT_EQ(eventsOf(Type::LeftMouseDown)[1].clickCount, 1);
}

TEST_F(X11GlobalMouseMonitorTest, ButtonsFollowTheUsersPointerMapping) {
    startMonitor();
    const QList<quint8> original = pointerMapping();
    ASSERT_GE(original.size(), 3);
    QList<quint8> leftHanded = original;
    std::swap(leftHanded[0], leftHanded[2]);
    ASSERT_TRUE(setPointerMapping(leftHanded));
    struct Restore {
        QList<quint8> map;
        ~Restore() { setPointerMapping(map); }
    } restore{original};

    // Physical button 3 is the left button now, physical button 1 the right one.
    ASSERT_TRUE(xdotool(at(m_inside)));
    ASSERT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("3")}));
    ASSERT_TRUE(waitForEvent(Type::LeftMouseUp, m_inside));
    ASSERT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("1")}));
    ASSERT_TRUE(waitForEvent(Type::RightMouseDown, m_inside));
    // Escape closes whatever the right button opened in the client.
    xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    settleDisplay();
    EXPECT_EQ(eventsOf(Type::LeftMouseDown).size(), 1);
    EXPECT_EQ(eventsOf(Type::LeftMouseUp).size(), 1);
    EXPECT_EQ(eventsOf(Type::RightMouseDown).size(), 1);
    ASSERT_EQ(m_events.size(), 3);
    EXPECT_EQ(m_events[2].type, Type::RightMouseDown);
}

TEST_F(X11GlobalMouseMonitorTest, StoppingInsideTheHandlerEndsDelivery) {
    int calls = 0;
    ASSERT_TRUE(m_monitor.start([&](const GlobalMouseEvent&) {
        ++calls;
        m_monitor.stop();
    }));
    ASSERT_TRUE(xdotool(at(m_inside)));
    ASSERT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                         QStringLiteral("--delay"), QStringLiteral("30"), QStringLiteral("1")}));
    ASSERT_TRUE(waitUntil([&] { return calls > 0; }));
    // xdotool made both clicks before it ended: the second would be reported by now if it were.
    settleDisplay();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(m_monitor.isRunning());

    // And it starts again afterwards.
    startMonitor();
    ASSERT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("1")}));
    EXPECT_TRUE(waitUntil([&] { return eventsOf(Type::LeftMouseUp).size() == 1; }));
}

// Runs in a child process of this binary with Qt scaling by 2, like a high-density screen.
TEST_F(X11GlobalMouseMonitorTest, PositionsAreDeviceIndependentAtScaleTwo) {
    if (qEnvironmentVariableIsEmpty("QUILLORA_SCALED_CHILD")) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
        env.insert(QStringLiteral("QUILLORA_SCALED_CHILD"), QStringLiteral("1"));
        const QString name =
            QStringLiteral("X11GlobalMouseMonitorTest.PositionsAreDeviceIndependentAtScaleTwo");
        const ChildTestRun run = runTestsInChild(name, env);
        EXPECT_TRUE(run.exitedCleanly);
        EXPECT_EQ(run.passed, QStringList{name}) << qPrintable(run.failed.join(u' '));
        return;
    }

    ASSERT_DOUBLE_EQ(QGuiApplication::primaryScreen()->devicePixelRatio(), 2.0);
    startMonitor();
    // xdotool speaks native pixels; the client (scaled too) and the monitor speak device-independent ones.
    const QPoint logical = m_inside;
    const QPoint native = logical * 2;
    ASSERT_TRUE(xdotool(at(native)));
    ASSERT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("1")}));
    ASSERT_TRUE(waitForEvent(Type::LeftMouseUp, logical));
    EXPECT_EQ(m_events.first().position, logical);
    EXPECT_EQ(QCursor::pos(), logical);
    EXPECT_GE(m_client.waitForLine(QStringLiteral("press %1 %2").arg(logical.x()).arg(logical.y())), 0);
}

} // namespace

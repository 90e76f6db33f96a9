#pragma once

#include "platform/GlobalMouseMonitor.h"

#include <QList>
#include <QPoint>
#include <QRect>
#include <optional>

class QSocketNotifier;
struct xcb_connection_t;

// The left mouse button, and presses of the right one, anywhere on the X display, through XInput2 raw
// events on a connection of its own. Only button press and release are selected while the left button is
// up; raw motion is selected from a left press to its release, so an idle or merely moving pointer never
// wakes the process.
class X11GlobalMouseMonitor : public GlobalMouseMonitor {
    Q_OBJECT
public:
    explicit X11GlobalMouseMonitor(QObject* parent = nullptr);
    ~X11GlobalMouseMonitor() override;

    bool start(Handler handler) override;
    void stop() override;
    bool isRunning() const override { return m_connection != nullptr; }

    // How one screen's native pixels relate to Qt's device-independent global coordinates.
    struct ScreenMapping {
        QRect nativeGeometry;
        QRect logicalGeometry;
    };
    // A native root-window position in device-independent coordinates: scaled about the origin of the screen
    // that holds it (the nearest screen when it falls in a gap between screens).
    static QPoint toDeviceIndependent(QPoint nativePosition, const QList<ScreenMapping>& screens);
    // The mappings of the screens Qt currently knows.
    static QList<ScreenMapping> currentScreenMappings();

    // Click counting as a native event does: a press continues the series when it follows the previous press
    // within `intervalMs` and lies within `distance` of it on both axes.
    class ClickCounter {
    public:
        int press(quint32 timeMs, QPoint position, int intervalMs, int distance);
        void reset() { m_last.reset(); }

    private:
        struct Last {
            quint32 timeMs;
            QPoint position;
            int count;
        };
        std::optional<Last> m_last;
    };

private:
    void readEvents();
    // These return false when the handler stopped or destroyed the monitor meanwhile.
    bool handleRawEvent(int type, quint32 timeMs, quint32 physicalButton);
    bool flushMotion();
    bool reportRightPress(quint32 timeMs);
    bool emitEvent(GlobalMouseEvent::Type type, QPoint position, quint32 timeMs, int clickCount);
    void selectEvents(bool withMotion);
    std::optional<QPoint> pointerPosition();
    // Raw events name the physical button; the user's pointer mapping (a left-handed swap) makes it logical.
    void readButtonMapping();
    quint32 logicalButton(quint32 physical) const;
    void disconnectFromDisplay();

    Handler m_handler;
    xcb_connection_t* m_connection = nullptr;
    quint32 m_root = 0;
    quint8 m_xinputOpcode = 0;
    QSocketNotifier* m_notifier = nullptr;
    // Tells a read loop that the handler stopped (or restarted) the monitor under it.
    quint64 m_generation = 0;
    bool m_buttonHeld = false;
    bool m_motionPending = false;
    quint32 m_motionTime = 0;
    std::optional<QPoint> m_lastDragPosition;
    int m_pressClickCount = 1;
    ClickCounter m_clicks;
    QList<quint8> m_buttonMapping;
};

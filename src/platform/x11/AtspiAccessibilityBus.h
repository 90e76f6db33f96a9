#pragma once

#include "platform/AccessibilityBus.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QList>
#include <QPoint>
#include <QRect>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

// The desktop's AT-SPI bus over D-Bus: the bus address from the session bus, the applications the
// registry lists, the one whose connection belongs to the process, and its focused element found through
// the Collection interface. Every call is asynchronous with a time-out; nothing here blocks. Reaching the
// bus happens on a worker thread; a bus that could not be reached is tried again only when asked, at most
// once per `reconnectIntervalMs`, and queries meanwhile answer at once as on a desktop without one.
class AtspiAccessibilityBus : public AccessibilityBus {
    Q_OBJECT
public:
    static constexpr int defaultReconnectIntervalMs = 5000;

    explicit AtspiAccessibilityBus(QObject* parent = nullptr, int reconnectIntervalMs = defaultReconnectIntervalMs);
    ~AtspiAccessibilityBus() override;

    void queryFocusedElement(qint64 processId, QPoint position, int timeoutMs, Handler handler) override;

    // AT-SPI's numbers: the password role, and the state bits read here.
    static constexpr uint passwordTextRole = 40;
    static constexpr int editableState = 7;
    static constexpr int focusedState = 12;
    static constexpr int showingState = 25;
    // A walk for the focus gives up after this many objects.
    static constexpr int maximumWalk = 400;
    // A focused element away from the gesture is asked about again after this pause.
    static constexpr int refocusPauseMs = 10;
    // What a role and a state set (two 32-bit words) say about an element.
    static FocusedElement describe(uint role, const QList<uint>& states);

private:
    // The focused element and where it is on the screen (not valid where the toolkit does not say).
    struct Described {
        FocusedElement element;
        QRect extents;
    };
    using FoundHandler = std::function<void(std::optional<Described>)>;

    // Calls `done(true)` with the bus connected. Only the first attempt to reach it is waited for.
    void withBus(std::function<void(bool)> done);
    void connectInBackground();
    void attemptEnded(std::optional<QDBusConnection> bus, const QString& error);
    // The application's bus name and root object; empty when it is not on the bus.
    void findApplication(qint64 processId, int timeoutMs, std::function<void(QString, QString)> done);
    void askUntilFocusIsAt(const QString& service, const QString& root, QPoint position, int timeoutMs,
                           std::shared_ptr<QElapsedTimer> elapsed, std::shared_ptr<Handler> pending,
                           Handler finish);
    void findFocused(const QString& service, const QString& root, int timeoutMs, FoundHandler handler);
    void walkForFocus(QList<std::pair<QString, QDBusObjectPath>> level, std::shared_ptr<int> visited,
                      int timeoutMs, FoundHandler handler);
    void describeElement(const QString& service, const QString& path, int timeoutMs, FoundHandler handler);

    std::optional<QDBusConnection> m_bus;
    const int m_reconnectIntervalMs;
    bool m_connecting = false;
    bool m_attemptEnded = false;
    QElapsedTimer m_sinceAttempt;
    int m_attempts = 0;
    std::vector<std::function<void(bool)>> m_waitingForFirstAttempt;
};

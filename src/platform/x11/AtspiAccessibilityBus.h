#pragma once

#include "platform/AccessibilityBus.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QList>
#include <memory>
#include <optional>
#include <utility>

// The desktop's AT-SPI bus over D-Bus: the bus address from the session bus, the applications the
// registry lists, the one whose connection belongs to the process, and its focused element found through
// the Collection interface. Every call is asynchronous with a time-out; nothing here blocks.
class AtspiAccessibilityBus : public AccessibilityBus {
    Q_OBJECT
public:
    explicit AtspiAccessibilityBus(QObject* parent = nullptr);

    void queryFocusedElement(qint64 processId, int timeoutMs, Handler handler) override;

    // AT-SPI's numbers: the password role, and the state bits read here.
    static constexpr uint passwordTextRole = 40;
    static constexpr int editableState = 7;
    static constexpr int focusedState = 12;
    static constexpr int showingState = 25;
    // A walk for the focus gives up after this many objects.
    static constexpr int maximumWalk = 400;
    // What a role and a state set (two 32-bit words) say about an element.
    static FocusedElement describe(uint role, const QList<uint>& states);

private:
    void withBus(int timeoutMs, std::function<void(bool)> done);
    // The application's bus name and root object; empty when it is not on the bus.
    void findApplication(qint64 processId, int timeoutMs, std::function<void(QString, QString)> done);
    void findFocused(const QString& service, const QString& root, int timeoutMs, Handler handler);
    void walkForFocus(QList<std::pair<QString, QDBusObjectPath>> level, std::shared_ptr<int> visited,
                      int timeoutMs, Handler handler);
    void describeElement(const QString& service, const QString& path, int timeoutMs, Handler handler);

    std::optional<QDBusConnection> m_bus;
};

#include "platform/x11/AtspiAccessibilityBus.h"

#include "platform/DebugLog.h"
#include "platform/MainQueue.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QMap>
#include <QPointer>
#include <QTimer>
#include <memory>

namespace {

const QString kTag = QStringLiteral("AtspiAccessibilityBus");
const QString kRegistry = QStringLiteral("org.a11y.atspi.Registry");
const QString kAccessible = QStringLiteral("org.a11y.atspi.Accessible");
const QString kRootPath = QStringLiteral("/org/a11y/atspi/accessible/root");

// An accessible object: the application's bus name and the object's path.
struct AccessibleRef {
    QString service;
    QDBusObjectPath path;
};

// The Collection interface's match rule: states, attributes, roles and interfaces, each with how to match.
struct MatchRule {
    QList<int> states;
    int stateMatch = 1; // all
    QMap<QString, QString> attributes;
    int attributeMatch = 1;
    QList<int> roles;
    int roleMatch = 1;
    QStringList interfaces;
    int interfaceMatch = 1;
    bool invert = false;
};

} // namespace

Q_DECLARE_METATYPE(AccessibleRef)
Q_DECLARE_METATYPE(MatchRule)

namespace {

QDBusArgument& operator<<(QDBusArgument& argument, const AccessibleRef& ref) {
    argument.beginStructure();
    argument << ref.service << ref.path;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, AccessibleRef& ref) {
    argument.beginStructure();
    argument >> ref.service >> ref.path;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const MatchRule& rule) {
    argument.beginStructure();
    argument << rule.states << rule.stateMatch << rule.attributes << rule.attributeMatch << rule.roles
             << rule.roleMatch << rule.interfaces << rule.interfaceMatch << rule.invert;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, MatchRule& rule) {
    argument.beginStructure();
    argument >> rule.states >> rule.stateMatch >> rule.attributes >> rule.attributeMatch >> rule.roles >>
        rule.roleMatch >> rule.interfaces >> rule.interfaceMatch >> rule.invert;
    argument.endStructure();
    return argument;
}

// Runs `onReply` with the answer of `call`, unless `alive` says the query is over.
template <typename Reply>
void whenAnswered(const QDBusPendingCall& call, QObject* context, std::function<void(const Reply&)> onReply) {
    auto* watcher = new QDBusPendingCallWatcher(call, context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context, [watcher, onReply] {
        watcher->deleteLater();
        onReply(Reply(*watcher));
    });
}

} // namespace

AtspiAccessibilityBus::AtspiAccessibilityBus(QObject* parent)
    : AccessibilityBus(parent) {
    qDBusRegisterMetaType<AccessibleRef>();
    qDBusRegisterMetaType<QList<AccessibleRef>>();
    qDBusRegisterMetaType<MatchRule>();
    qDBusRegisterMetaType<QMap<QString, QString>>();
}

FocusedElement AtspiAccessibilityBus::describe(uint role, const QList<uint>& states) {
    const uint low = states.value(0);
    return {role == passwordTextRole, (low & (1u << editableState)) != 0};
}

void AtspiAccessibilityBus::queryFocusedElement(qint64 processId, int timeoutMs, Handler handler) {
    // One deadline for the whole exchange; whatever arrives after it is dropped.
    auto pending = std::make_shared<Handler>(std::move(handler));
    auto finish = [pending](std::optional<FocusedElement> element) {
        if (!*pending)
            return;
        std::exchange(*pending, nullptr)(element);
    };
    QTimer::singleShot(timeoutMs, this, [finish] { finish(std::nullopt); });
    QPointer<AtspiAccessibilityBus> self(this);
    withBus(timeoutMs, [self, processId, timeoutMs, finish, pending](bool connected) {
        if (!self || !*pending)
            return;
        if (!connected) {
            MainQueue::async([finish] { finish(std::nullopt); }, self);
            return;
        }
        self->findApplication(processId, timeoutMs,
                              [self, timeoutMs, finish, pending](const QString& service, const QString& root) {
                                  if (!self || !*pending)
                                      return;
                                  if (service.isEmpty()) {
                                      finish(std::nullopt);
                                      return;
                                  }
                                  self->findFocused(service, root, timeoutMs, finish);
                              });
    });
}

void AtspiAccessibilityBus::withBus(int timeoutMs, std::function<void(bool)> done) {
    if (m_bus) {
        done(m_bus->isConnected());
        return;
    }
    // Without a session bus there is no accessibility bus to find; Qt would otherwise try to start one.
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        m_bus = QDBusConnection(QString());
        done(false);
        return;
    }
    const QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"), QStringLiteral("org.a11y.Bus"),
        QStringLiteral("GetAddress"));
    QPointer<AtspiAccessibilityBus> self(this);
    whenAnswered<QDBusPendingReply<QString>>(
        QDBusConnection::sessionBus().asyncCall(message, timeoutMs), this,
        [self, done](const QDBusPendingReply<QString>& reply) {
            if (!self)
                return;
            if (reply.isError() || reply.value().isEmpty()) {
                debugLog(kTag, QStringLiteral("no accessibility bus: %1").arg(reply.error().message()));
                done(false);
                return;
            }
            self->m_bus = QDBusConnection::connectToBus(reply.value(), QStringLiteral("quillora-atspi"));
            done(self->m_bus->isConnected());
        });
}

void AtspiAccessibilityBus::findApplication(qint64 processId, int timeoutMs,
                                            std::function<void(QString, QString)> done) {
    const QDBusMessage children =
        QDBusMessage::createMethodCall(kRegistry, kRootPath, kAccessible, QStringLiteral("GetChildren"));
    QPointer<AtspiAccessibilityBus> self(this);
    whenAnswered<QDBusPendingReply<QList<AccessibleRef>>>(
        m_bus->asyncCall(children, timeoutMs), this,
        [self, processId, timeoutMs, done](const QDBusPendingReply<QList<AccessibleRef>>& reply) {
            if (!self)
                return;
            const QList<AccessibleRef> applications = reply.isError() ? QList<AccessibleRef>() : reply.value();
            if (applications.isEmpty()) {
                done(QString(), QString());
                return;
            }
            // The application whose bus connection belongs to the process; all questions at once.
            auto remaining = std::make_shared<qsizetype>(applications.size());
            auto found = std::make_shared<bool>(false);
            for (const AccessibleRef& application : applications) {
                const QDBusMessage pid = QDBusMessage::createMethodCall(
                    QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                    QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixProcessID"));
                whenAnswered<QDBusPendingReply<uint>>(
                    self->m_bus->asyncCall(QDBusMessage(pid) << application.service, timeoutMs), self,
                    [processId, done, remaining, found, application](
                        const QDBusPendingReply<uint>& answer) {
                        --*remaining;
                        if (*found)
                            return;
                        if (!answer.isError() && qint64(answer.value()) == processId) {
                            *found = true;
                            done(application.service, application.path.path());
                        } else if (*remaining == 0) {
                            done(QString(), QString());
                        }
                    });
            }
        });
}

void AtspiAccessibilityBus::findFocused(const QString& service, const QString& root, int timeoutMs,
                                        Handler handler) {
    MatchRule rule;
    rule.states = {1 << focusedState, 0};
    QDBusMessage matches = QDBusMessage::createMethodCall(service, root, QStringLiteral("org.a11y.atspi.Collection"),
                                                          QStringLiteral("GetMatches"));
    matches << QVariant::fromValue(rule) << uint(0) << 1 << true;
    QPointer<AtspiAccessibilityBus> self(this);
    whenAnswered<QDBusPendingReply<QList<AccessibleRef>>>(
        m_bus->asyncCall(matches, timeoutMs), this,
        [self, service, root, timeoutMs, handler](const QDBusPendingReply<QList<AccessibleRef>>& reply) {
            if (!self)
                return;
            if (reply.isError()) {
                // Not every toolkit offers Collection (Qt does not): look for the focus in the tree.
                self->walkForFocus({std::make_pair(service, QDBusObjectPath(root))}, std::make_shared<int>(0),
                                   timeoutMs, handler);
                return;
            }
            if (reply.value().isEmpty()) {
                handler(std::nullopt);
                return;
            }
            self->describeElement(reply.value().first().service, reply.value().first().path.path(), timeoutMs,
                                  handler);
        });
}

void AtspiAccessibilityBus::walkForFocus(QList<std::pair<QString, QDBusObjectPath>> level,
                                         std::shared_ptr<int> visited, int timeoutMs, Handler handler) {
    // One level at a time, all questions of a level at once; only what is showing is searched further.
    if (level.isEmpty() || *visited > maximumWalk) {
        handler(std::nullopt);
        return;
    }
    *visited += int(level.size());
    auto next = std::make_shared<QList<std::pair<QString, QDBusObjectPath>>>();
    auto remaining = std::make_shared<qsizetype>(level.size());
    auto found = std::make_shared<bool>(false);
    QPointer<AtspiAccessibilityBus> self(this);
    auto levelDone = [self, next, remaining, found, visited, timeoutMs, handler] {
        if (--*remaining > 0 || *found || !self)
            return;
        self->walkForFocus(*next, visited, timeoutMs, handler);
    };
    for (const auto& [service, path] : level) {
        whenAnswered<QDBusPendingReply<QList<uint>>>(
            m_bus->asyncCall(QDBusMessage::createMethodCall(service, path.path(), kAccessible,
                                                            QStringLiteral("GetState")),
                             timeoutMs),
            this,
            [self, service, path, next, found, levelDone, timeoutMs, handler](const QDBusPendingReply<QList<uint>>& state) {
                if (!self || *found)
                    return;
                const uint bits = state.isError() ? 0 : state.value().value(0);
                if (bits & (1u << focusedState)) {
                    *found = true;
                    self->describeElement(service, path.path(), timeoutMs, handler);
                    return;
                }
                if (!(bits & (1u << showingState)) && !path.path().endsWith(QLatin1String("/root"))) {
                    levelDone();
                    return;
                }
                whenAnswered<QDBusPendingReply<QList<AccessibleRef>>>(
                    self->m_bus->asyncCall(QDBusMessage::createMethodCall(service, path.path(), kAccessible,
                                                                          QStringLiteral("GetChildren")),
                                           timeoutMs),
                    self, [next, levelDone](const QDBusPendingReply<QList<AccessibleRef>>& children) {
                        if (!children.isError()) {
                            for (const AccessibleRef& child : children.value())
                                next->append({child.service, child.path});
                        }
                        levelDone();
                    });
            });
    }
}

void AtspiAccessibilityBus::describeElement(const QString& service, const QString& path, int timeoutMs,
                                            Handler handler) {
    const auto call = [&](const char* method) {
        return m_bus->asyncCall(
            QDBusMessage::createMethodCall(service, path, kAccessible, QLatin1String(method)), timeoutMs);
    };
    auto role = std::make_shared<std::optional<uint>>();
    auto states = std::make_shared<std::optional<QList<uint>>>();
    auto both = [role, states, handler] {
        if (*role && *states)
            handler(describe(**role, **states));
    };
    whenAnswered<QDBusPendingReply<uint>>(call("GetRole"), this,
                                          [role, both, handler](const QDBusPendingReply<uint>& answer) {
                                              if (answer.isError())
                                                  return handler(std::nullopt);
                                              *role = answer.value();
                                              both();
                                          });
    whenAnswered<QDBusPendingReply<QList<uint>>>(
        call("GetState"), this, [states, both, handler](const QDBusPendingReply<QList<uint>>& answer) {
            if (answer.isError())
                return handler(std::nullopt);
            *states = answer.value();
            both();
        });
}

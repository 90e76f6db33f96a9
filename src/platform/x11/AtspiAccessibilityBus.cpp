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
#include <QRect>
#include <QThreadPool>
#include <QTimer>
#include <memory>

namespace {

const QString kTag = QStringLiteral("AtspiAccessibilityBus");
const QString kRegistry = QStringLiteral("org.a11y.atspi.Registry");
const QString kAccessible = QStringLiteral("org.a11y.atspi.Accessible");
const QString kComponent = QStringLiteral("org.a11y.atspi.Component");
const QString kRootPath = QStringLiteral("/org/a11y/atspi/accessible/root");
constexpr uint kScreenCoordinates = 0;
// Collection's canonical sort order; toolkits behind the ATK bridge answer the other "invalid" one (0) with
// nothing at all.
constexpr uint kCanonicalOrder = 1;
// Reaching the bus runs on a worker thread, so a session bus that does not answer holds up no gesture.
constexpr int kConnectTimeoutMs = 2000;

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

// Blocks: the accessibility bus's address from the session bus at `sessionAddress`, and a connection to it
// named `name`. No value, and `error` set, when either cannot be reached.
std::optional<QDBusConnection> openBus(const QString& sessionAddress, const QString& name, QString& error) {
    const QString sessionName = name + QStringLiteral("-session");
    QString address;
    {
        QDBusConnection session = QDBusConnection::connectToBus(sessionAddress, sessionName);
        const QDBusMessage reply = session.call(
            QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                           QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")),
            QDBus::Block, kConnectTimeoutMs);
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
            address = reply.arguments().constFirst().toString();
        else
            error = reply.errorMessage();
    }
    QDBusConnection::disconnectFromBus(sessionName);
    if (address.isEmpty())
        return std::nullopt;
    QDBusConnection bus = QDBusConnection::connectToBus(address, name);
    if (!bus.isConnected()) {
        error = bus.lastError().message();
        QDBusConnection::disconnectFromBus(name);
        return std::nullopt;
    }
    return bus;
}

} // namespace

AtspiAccessibilityBus::AtspiAccessibilityBus(QObject* parent, int reconnectIntervalMs)
    : AccessibilityBus(parent)
    , m_reconnectIntervalMs(reconnectIntervalMs) {
    qDBusRegisterMetaType<AccessibleRef>();
    qDBusRegisterMetaType<QList<AccessibleRef>>();
    qDBusRegisterMetaType<MatchRule>();
    qDBusRegisterMetaType<QMap<QString, QString>>();
}

AtspiAccessibilityBus::~AtspiAccessibilityBus() {
    if (m_bus)
        QDBusConnection::disconnectFromBus(m_bus->name());
}

FocusedElement AtspiAccessibilityBus::describe(uint role, const QList<uint>& states) {
    const uint low = states.value(0);
    return {role == passwordTextRole, (low & (1u << editableState)) != 0};
}

void AtspiAccessibilityBus::queryFocusedElement(qint64 processId, QPoint position, int timeoutMs,
                                                Handler handler) {
    // One deadline for the whole exchange; whatever arrives after it is dropped.
    auto pending = std::make_shared<Handler>(std::move(handler));
    auto finish = [pending](std::optional<FocusedElement> element) {
        if (!*pending)
            return;
        std::exchange(*pending, nullptr)(element);
    };
    QTimer::singleShot(timeoutMs, this, [finish] { finish(std::nullopt); });
    auto elapsed = std::make_shared<QElapsedTimer>();
    elapsed->start();
    QPointer<AtspiAccessibilityBus> self(this);
    withBus([self, processId, position, timeoutMs, elapsed, finish, pending](bool connected) {
        if (!self || !*pending)
            return;
        if (!connected) {
            MainQueue::async([finish] { finish(std::nullopt); }, self);
            return;
        }
        self->findApplication(
            processId, timeoutMs,
            [self, position, timeoutMs, elapsed, finish, pending](const QString& service, const QString& root) {
                if (!self || !*pending)
                    return;
                if (service.isEmpty()) {
                    finish(std::nullopt);
                    return;
                }
                self->askUntilFocusIsAt(service, root, position, timeoutMs, elapsed, pending, finish);
            });
    });
}

void AtspiAccessibilityBus::askUntilFocusIsAt(const QString& service, const QString& root, QPoint position,
                                              int timeoutMs, std::shared_ptr<QElapsedTimer> elapsed,
                                              std::shared_ptr<Handler> pending, Handler finish) {
    QPointer<AtspiAccessibilityBus> self(this);
    findFocused(service, root, timeoutMs,
                [self, service, root, position, timeoutMs, elapsed, pending,
                 finish](std::optional<Described> found) {
                    if (!self || !*pending)
                        return;
                    // An application moves its focus a little after the press that moved it (a browser
                    // tells its renderer first): a focused element away from the gesture may be the one
                    // before. Asked again for a while; after that the focus is taken as it is, as where
                    // a toolkit reports no usable position.
                    const bool elsewhere = position != NoGesture && found && found->extents.isValid() &&
                                           !found->extents.contains(position);
                    if (elsewhere && elapsed->elapsed() < timeoutMs / 2) {
                        MainQueue::asyncAfter(
                            refocusPauseMs,
                            [self, service, root, position, timeoutMs, elapsed, pending, finish] {
                                if (self && *pending)
                                    self->askUntilFocusIsAt(service, root, position, timeoutMs, elapsed,
                                                            pending, finish);
                            },
                            self);
                        return;
                    }
                    finish(found ? std::optional<FocusedElement>(found->element) : std::nullopt);
                });
}

void AtspiAccessibilityBus::withBus(std::function<void(bool)> done) {
    if (m_bus && m_bus->isConnected()) {
        done(true);
        return;
    }
    if (m_bus) {
        // The bus went away (its launcher ended): reached again like one that failed.
        debugLog(kTag, QStringLiteral("the accessibility bus went away"));
        QDBusConnection::disconnectFromBus(m_bus->name());
        m_bus.reset();
    }
    if (!m_connecting && (!m_sinceAttempt.isValid() || m_sinceAttempt.hasExpired(m_reconnectIntervalMs)))
        connectInBackground();
    if (m_connecting && !m_attemptEnded)
        m_waitingForFirstAttempt.push_back(std::move(done));
    else
        done(false);
}

void AtspiAccessibilityBus::connectInBackground() {
    m_connecting = true;
    m_sinceAttempt.start();
    const QString sessionAddress = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (sessionAddress.isEmpty()) {
        attemptEnded(std::nullopt, QStringLiteral("no session bus"));
        return;
    }
    const QString name = QStringLiteral("quillora-atspi-%1").arg(++m_attempts);
    QPointer<AtspiAccessibilityBus> self(this);
    QThreadPool::globalInstance()->start([self, sessionAddress, name] {
        QString error;
        std::optional<QDBusConnection> bus = openBus(sessionAddress, name, error);
        MainQueue::async([self, bus, name, error] {
            if (self)
                self->attemptEnded(bus, error);
            else if (bus)
                QDBusConnection::disconnectFromBus(name);
        });
    });
}

void AtspiAccessibilityBus::attemptEnded(std::optional<QDBusConnection> bus, const QString& error) {
    m_connecting = false;
    m_attemptEnded = true;
    m_bus = std::move(bus);
    if (!m_bus)
        debugLog(kTag, QStringLiteral("no accessibility bus: %1").arg(error));
    for (auto& done : std::exchange(m_waitingForFirstAttempt, {}))
        done(m_bus.has_value());
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
                                        FoundHandler handler) {
    MatchRule rule;
    rule.states = {1 << focusedState, 0};
    QDBusMessage matches = QDBusMessage::createMethodCall(service, root, QStringLiteral("org.a11y.atspi.Collection"),
                                                          QStringLiteral("GetMatches"));
    matches << QVariant::fromValue(rule) << kCanonicalOrder << 1 << true;
    QPointer<AtspiAccessibilityBus> self(this);
    whenAnswered<QDBusPendingReply<QList<AccessibleRef>>>(
        m_bus->asyncCall(matches, timeoutMs), this,
        [self, service, root, timeoutMs, handler](const QDBusPendingReply<QList<AccessibleRef>>& reply) {
            if (!self)
                return;
            // Not every toolkit offers Collection (Qt does not), and one that does may still find nothing:
            // look for the focus in the tree.
            if (reply.isError() || reply.value().isEmpty()) {
                self->walkForFocus({std::make_pair(service, QDBusObjectPath(root))}, std::make_shared<int>(0),
                                   timeoutMs, handler);
                return;
            }
            self->describeElement(reply.value().first().service, reply.value().first().path.path(), timeoutMs,
                                  handler);
        });
}

void AtspiAccessibilityBus::walkForFocus(QList<std::pair<QString, QDBusObjectPath>> level,
                                         std::shared_ptr<int> visited, int timeoutMs, FoundHandler handler) {
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
                                            FoundHandler handler) {
    const auto call = [&](const QString& interface, const char* method, const QVariantList& arguments = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, QLatin1String(method));
        message.setArguments(arguments);
        return m_bus->asyncCall(message, timeoutMs);
    };
    struct Answers {
        std::optional<uint> role;
        std::optional<QList<uint>> states;
        std::optional<QRect> extents;
        FoundHandler handler;
        void failed() {
            if (handler)
                std::exchange(handler, nullptr)(std::nullopt);
        }
        void maybeDone() {
            if (handler && role && states && extents)
                std::exchange(handler, nullptr)(Described{describe(*role, *states), *extents});
        }
    };
    auto answers = std::make_shared<Answers>();
    answers->handler = std::move(handler);
    whenAnswered<QDBusPendingReply<uint>>(call(kAccessible, "GetRole"), this,
                                          [answers](const QDBusPendingReply<uint>& answer) {
                                              if (answer.isError())
                                                  return answers->failed();
                                              answers->role = answer.value();
                                              answers->maybeDone();
                                          });
    whenAnswered<QDBusPendingReply<QList<uint>>>(call(kAccessible, "GetState"), this,
                                                 [answers](const QDBusPendingReply<QList<uint>>& answer) {
                                                     if (answer.isError())
                                                         return answers->failed();
                                                     answers->states = answer.value();
                                                     answers->maybeDone();
                                                 });
    // Where on the screen it is; an element without a position (no Component) is taken as it is.
    whenAnswered<QDBusPendingReply<QRect>>(call(kComponent, "GetExtents", {QVariant::fromValue(kScreenCoordinates)}),
                                           this, [answers](const QDBusPendingReply<QRect>& answer) {
                                               answers->extents = answer.isError() ? QRect() : answer.value();
                                               answers->maybeDone();
                                           });
}

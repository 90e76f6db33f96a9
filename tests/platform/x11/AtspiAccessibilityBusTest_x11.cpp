// The desktop's accessibility bus, started privately (a session bus with the AT-SPI launcher on it), asked
// about the focused field of a real Qt client and of a small accessible application served from here.
#include "PrivateAccessibilityBus.h"
#include "TestUtils.h"
#include "TextWindowProcess.h"
#include "platform/x11/AtspiAccessibilityBus.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QRect>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct ObjectRef {
    QString service;
    QDBusObjectPath path;
};

} // namespace

Q_DECLARE_METATYPE(ObjectRef)

namespace {

QDBusArgument& operator<<(QDBusArgument& argument, const ObjectRef& ref) {
    argument.beginStructure();
    argument << ref.service << ref.path;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, ObjectRef& ref) {
    argument.beginStructure();
    argument >> ref.service >> ref.path;
    argument.endStructure();
    return argument;
}

const QString kPrefix = QStringLiteral("/org/a11y/atspi/accessible");

// An application on the accessibility bus with a password field and a text field, one of them focused,
// answering Collection's question in one of the ways toolkits do.
class FakeAccessibleApplication : public QDBusVirtualObject {
public:
    enum class Collection {
        Missing, // no such interface (Qt)
        Empty,   // always an empty list
        // The focus found only through Collection, as in a browser whose tree is too large to walk, and
        // only in the canonical sort order: the ATK bridge answers the invalid one with an empty list.
        CanonicalOnly,
    };
    static constexpr QRect passwordExtents{100, 100, 300, 30};
    static constexpr QRect textExtents{100, 200, 300, 30};

    explicit FakeAccessibleApplication(Collection collection)
        : m_collection(collection) {}
    ~FakeAccessibleApplication() override {
        if (m_connection) {
            m_connection->unregisterObject(kPrefix, QDBusConnection::UnregisterTree);
            QDBusConnection::disconnectFromBus(m_connection->name());
        }
    }

    // Joins the bus at `address` and embeds itself in the registry's desktop.
    bool join(const QString& address) {
        m_connection = QDBusConnection::connectToBus(address, QStringLiteral("fake-accessible-application"));
        if (!m_connection->isConnected() ||
            !m_connection->registerVirtualObject(kPrefix, this, QDBusConnection::SubPath))
            return false;
        QDBusMessage embed = QDBusMessage::createMethodCall(
            QStringLiteral("org.a11y.atspi.Registry"), kPrefix + QStringLiteral("/root"),
            QStringLiteral("org.a11y.atspi.Socket"), QStringLiteral("Embed"));
        embed << QVariant::fromValue(ObjectRef{m_connection->baseService(), QDBusObjectPath(kPrefix + "/root")});
        QDBusPendingCall call = m_connection->asyncCall(embed, 5000);
        return waitUntil([&] { return call.isFinished(); }) && !call.isError();
    }

    // The focus moves to the password field (or the text field) now, or once the next question about
    // the focused element has been answered with the one before.
    void focusPassword(bool password, bool afterNextAnswer = false) {
        if (afterNextAnswer)
            m_nextFocus = password;
        else
            m_passwordFocused = password;
    }

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QString object = message.path().mid(kPrefix.size() + 1);
        const QString focused = m_passwordFocused ? QStringLiteral("password") : QStringLiteral("text");
        const auto reply = [&](const QVariant& value) {
            connection.send(message.createReply(value));
            return true;
        };
        const QString member = message.member();
        if (member == QLatin1String("GetRole"))
            return reply(object == QLatin1String("password") ? 40u : object == QLatin1String("text") ? 61u : 75u);
        if (member == QLatin1String("GetState")) {
            uint bits = 1u << AtspiAccessibilityBus::showingState;
            if (object != QLatin1String("root"))
                bits |= 1u << AtspiAccessibilityBus::editableState;
            if (object == focused)
                bits |= 1u << AtspiAccessibilityBus::focusedState;
            return reply(QVariant::fromValue(QList<uint>{bits, 0}));
        }
        if (member == QLatin1String("GetChildren")) {
            QList<ObjectRef> children;
            if (object == QLatin1String("root") && m_collection != Collection::CanonicalOnly) {
                for (const char* child : {"password", "text"})
                    children.append({connection.baseService(), QDBusObjectPath(kPrefix + '/' + child)});
            }
            return reply(QVariant::fromValue(children));
        }
        if (member == QLatin1String("GetExtents")) {
            // Asked last about an element.
            if (m_nextFocus)
                m_passwordFocused = *std::exchange(m_nextFocus, std::nullopt);
            return reply(object == QLatin1String("password") ? passwordExtents : textExtents);
        }
        if (member == QLatin1String("GetMatches") && m_collection != Collection::Missing) {
            QList<ObjectRef> matches;
            if (m_collection == Collection::CanonicalOnly && message.arguments().value(1).toUInt() == 1)
                matches.append({connection.baseService(), QDBusObjectPath(kPrefix + '/' + focused)});
            return reply(QVariant::fromValue(matches));
        }
        connection.send(message.createErrorReply(QDBusError::UnknownMethod, member));
        return true;
    }

private:
    const Collection m_collection;
    std::optional<QDBusConnection> m_connection;
    bool m_passwordFocused = true;
    std::optional<bool> m_nextFocus;
};

class AtspiAccessibilityBusTest : public ::testing::Test {
protected:
    void SetUp() override {
        qDBusRegisterMetaType<ObjectRef>();
        qDBusRegisterMetaType<QList<ObjectRef>>();
        m_desktop = std::make_unique<PrivateAccessibilityBus>();
        ASSERT_TRUE(m_desktop->isRunning());
    }

    struct Answer {
        std::optional<FocusedElement> element;
        qint64 elapsedMs = 0;
    };
    static Answer ask(AtspiAccessibilityBus& bus, qint64 processId, QPoint position, int timeoutMs) {
        Answer answer;
        bool answered = false;
        QElapsedTimer timer;
        timer.start();
        bus.queryFocusedElement(processId, position, timeoutMs, [&](std::optional<FocusedElement> e) {
            EXPECT_FALSE(answered) << "answered twice";
            answer = {e, timer.elapsed()};
            answered = true;
        });
        EXPECT_TRUE(waitUntil([&] { return answered; }, timeoutMs + 2000));
        return answer;
    }

    // Asks until the application is on the bus and answers.
    static std::optional<FocusedElement> focusedElementOf(AtspiAccessibilityBus& bus, qint64 processId,
                                                          QPoint position, int timeoutMs = 500) {
        std::optional<FocusedElement> element;
        waitUntil(
            [&] {
                element = ask(bus, processId, position, timeoutMs).element;
                return element.has_value();
            },
            15000);
        return element;
    }

    std::unique_ptr<PrivateAccessibilityBus> m_desktop;
};

} // namespace

TEST_F(AtspiAccessibilityBusTest, TellsPasswordFieldsAndEditableFieldsApart) {
    AtspiAccessibilityBus bus;
    for (const bool password : {true, false}) {
        SCOPED_TRACE(password ? "password field" : "text field");
        TextWindowProcess client(QStringLiteral(QUILLORA_TEST_TEXTWINDOW_PATH));
        ASSERT_TRUE(client.start(password ? QStringList{QStringLiteral("--password")} : QStringList{}));
        ASSERT_TRUE(xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                             QString::number(client.windowId())}));
        const std::optional<FocusedElement> element =
            focusedElementOf(bus, client.processId(), client.lineEditGeometry().center());
        ASSERT_TRUE(element);
        EXPECT_EQ(element->isProtected, password);
        EXPECT_TRUE(element->isEditable);
        // A key press made no gesture for the focus to move to: it is taken as it is, not waited on.
        const Answer byKey = ask(bus, client.processId(), AccessibilityBus::NoGesture, 10000);
        ASSERT_TRUE(byKey.element);
        EXPECT_EQ(byKey.element->isProtected, password);
        EXPECT_LT(byKey.elapsedMs, 5000);
    }
    // A process that is not on the bus gets no answer.
    EXPECT_FALSE(ask(bus, 1, {}, 300).element);
}

// However the application answers Collection, the focused field is found; a focus that has not yet
// moved to where the gesture began is asked about again.
TEST_F(AtspiAccessibilityBusTest, FindsTheFocusWhereverCollectionLeavesIt) {
    using Collection = FakeAccessibleApplication::Collection;
    const QPoint inPassword = FakeAccessibleApplication::passwordExtents.center();
    const QPoint inText = FakeAccessibleApplication::textExtents.center();
    for (const Collection collection : {Collection::Missing, Collection::Empty, Collection::CanonicalOnly}) {
        SCOPED_TRACE(int(collection));
        FakeAccessibleApplication application(collection);
        ASSERT_TRUE(application.join(m_desktop->accessibilityAddress()));
        AtspiAccessibilityBus bus;
        const qint64 self = QCoreApplication::applicationPid();

        std::optional<FocusedElement> element = focusedElementOf(bus, self, inPassword);
        ASSERT_TRUE(element);
        EXPECT_TRUE(element->isProtected);

        application.focusPassword(false);
        element = focusedElementOf(bus, self, inText);
        ASSERT_TRUE(element);
        EXPECT_FALSE(element->isProtected);
        EXPECT_TRUE(element->isEditable);

        // Moving either way, the field under the gesture answers, not the one focused before.
        application.focusPassword(true, true);
        element = ask(bus, self, inPassword, 1000).element;
        ASSERT_TRUE(element);
        EXPECT_TRUE(element->isProtected);
        application.focusPassword(false, true);
        element = ask(bus, self, inText, 1000).element;
        ASSERT_TRUE(element);
        EXPECT_FALSE(element->isProtected);
    }
}

// A session bus that cannot be reached costs a gesture nothing: the answer comes at once, and the bus is
// tried again in the background, so that a later gesture finds it.
TEST_F(AtspiAccessibilityBusTest, UnreachableBusAnswersAtOnceAndIsReachedLater) {
    const QTemporaryDir nowhere;
    const QString reachable = m_desktop->sessionAddress();
    FakeAccessibleApplication application(FakeAccessibleApplication::Collection::CanonicalOnly);
    ASSERT_TRUE(application.join(m_desktop->accessibilityAddress()));
    const qint64 self = QCoreApplication::applicationPid();
    const QPoint inPassword = FakeAccessibleApplication::passwordExtents.center();

    for (const QByteArray& address :
         {QByteArray("unix:path=") + nowhere.filePath(QStringLiteral("bus")).toUtf8(), QByteArray()}) {
        SCOPED_TRACE(address.isEmpty() ? "no session bus" : "a bus address that points at nothing");
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        AtspiAccessibilityBus bus(nullptr, 0);
        for (int gesture = 0; gesture < 3; ++gesture) {
            const Answer answer = ask(bus, self, inPassword, 4000);
            EXPECT_FALSE(answer.element);
            EXPECT_LT(answer.elapsedMs, 1000) << "gesture " << gesture;
        }

        // The bus is there now: the gesture that notices goes on without it, a later one uses it.
        qputenv("DBUS_SESSION_BUS_ADDRESS", reachable.toUtf8());
        const Answer noticing = ask(bus, self, inPassword, 4000);
        EXPECT_FALSE(noticing.element);
        EXPECT_LT(noticing.elapsedMs, 1000);
        const std::optional<FocusedElement> element = focusedElementOf(bus, self, inPassword);
        ASSERT_TRUE(element);
        EXPECT_TRUE(element->isProtected);
    }
}

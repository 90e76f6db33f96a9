// The desktop's accessibility bus, started privately (a session bus with the AT-SPI launcher on it), asked
// about the focused field of a real Qt client.
#include "TestUtils.h"
#include "TextWindowProcess.h"
#include "platform/x11/AtspiAccessibilityBus.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {

class AtspiAccessibilityBusTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_session.start(QStringLiteral("dbus-daemon"),
                        {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        ASSERT_TRUE(waitUntil([&] { return m_session.canReadLine(); }, 10000));
        m_previousAddress = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_session.readLine().trimmed());
        qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
        m_launcher.start(QStringLiteral("/usr/libexec/at-spi-bus-launcher"), {QStringLiteral("--launch-immediately")});
        ASSERT_TRUE(m_launcher.waitForStarted());
    }
    void TearDown() override {
        for (QProcess* process : {&m_launcher, &m_session}) {
            process->terminate();
            process->waitForFinished(3000);
        }
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_previousAddress);
        qunsetenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON");
    }

    // Asks until the client is on the bus and answers.
    static std::optional<FocusedElement> focusedElementOf(AtspiAccessibilityBus& bus, qint64 processId) {
        std::optional<FocusedElement> element;
        waitUntil(
            [&] {
                bool answered = false;
                bus.queryFocusedElement(processId, 500, [&](std::optional<FocusedElement> e) {
                    element = e;
                    answered = true;
                });
                waitUntil([&] { return answered; }, 2000);
                return element.has_value();
            },
            15000);
        return element;
    }

    QProcess m_session;
    QProcess m_launcher;
    QByteArray m_previousAddress;
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
        const std::optional<FocusedElement> element = focusedElementOf(bus, client.processId());
        ASSERT_TRUE(element);
        EXPECT_EQ(element->isProtected, password);
        EXPECT_TRUE(element->isEditable);
    }
    // A process that is not on the bus gets no answer.
    bool answered = false;
    std::optional<FocusedElement> none = FocusedElement{};
    bus.queryFocusedElement(1, 300, [&](std::optional<FocusedElement> e) {
        none = e;
        answered = true;
    });
    ASSERT_TRUE(waitUntil([&] { return answered; }, 2000));
    EXPECT_FALSE(none);
}

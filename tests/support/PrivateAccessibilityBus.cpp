#include "PrivateAccessibilityBus.h"

#include "TestUtils.h"

#include <QDBusConnection>
#include <QDBusMessage>

PrivateAccessibilityBus::PrivateAccessibilityBus() {
    m_previousAddress = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    m_session.start(QStringLiteral("dbus-daemon"),
                    {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (!waitUntil([&] { return m_session.canReadLine(); }, 10000))
        return;
    m_sessionAddress = QString::fromUtf8(m_session.readLine().trimmed());
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_sessionAddress.toUtf8());
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    m_launcher.start(QStringLiteral("/usr/libexec/at-spi-bus-launcher"), {QStringLiteral("--launch-immediately")});
    m_running = m_launcher.waitForStarted();
}

PrivateAccessibilityBus::~PrivateAccessibilityBus() {
    for (QProcess* process : {&m_launcher, &m_session}) {
        process->terminate();
        process->waitForFinished(3000);
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_previousAddress);
    qunsetenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON");
}

QString PrivateAccessibilityBus::accessibilityAddress() const {
    const QString name = QStringLiteral("test-session-") + m_sessionAddress;
    QString address;
    {
        QDBusConnection session = QDBusConnection::connectToBus(m_sessionAddress, name);
        const QDBusMessage reply = session.call(
            QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                           QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")),
            QDBus::Block, 5000);
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
            address = reply.arguments().constFirst().toString();
    }
    QDBusConnection::disconnectFromBus(name);
    return address;
}

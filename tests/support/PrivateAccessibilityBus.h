#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>

// A session bus of our own with the AT-SPI launcher on it, as a desktop session has: it becomes this
// process's session bus (and that of the programs it starts) until destroyed.
class PrivateAccessibilityBus {
public:
    PrivateAccessibilityBus();
    ~PrivateAccessibilityBus();

    // Whether both daemons started.
    bool isRunning() const { return m_running; }
    QString sessionAddress() const { return m_sessionAddress; }
    // The accessibility bus's own address, asked from the launcher; empty when it did not answer.
    QString accessibilityAddress() const;

private:
    QProcess m_session;
    QProcess m_launcher;
    QString m_sessionAddress;
    QByteArray m_previousAddress;
    bool m_running = false;
};

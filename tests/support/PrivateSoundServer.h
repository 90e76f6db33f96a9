#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A sound server of our own with one null sink, reached through PULSE_SERVER: this process and the
// programs it starts play into it until it is destroyed. Nothing of the user's sound setup is read.
class PrivateSoundServer {
public:
    PrivateSoundServer();
    ~PrivateSoundServer();
    PrivateSoundServer(const PrivateSoundServer&) = delete;
    PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;

    // Whether the server program exists at all on this machine.
    static bool isInstalled();
    // Whether it accepts clients; problem() says why not.
    bool isRunning() const { return m_running; }
    QString problem() const { return m_problem; }
    // The value of PULSE_SERVER that reaches it.
    QString address() const;
    // Whether some client plays into it now.
    bool isPlaying() const;

private:
    QTemporaryDir m_home;
    QProcess m_server;
    QByteArray m_previousAddress;
    bool m_hadAddress = false;
    bool m_running = false;
    QString m_problem;
};

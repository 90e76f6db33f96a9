#include "PrivateSoundServer.h"

#include "TestUtils.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <sys/stat.h>

namespace {

QString program() {
    return QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
}

} // namespace

bool PrivateSoundServer::isInstalled() {
    return !program().isEmpty();
}

PrivateSoundServer::PrivateSoundServer() {
    m_hadAddress = qEnvironmentVariableIsSet("PULSE_SERVER");
    m_previousAddress = qgetenv("PULSE_SERVER");
    if (!isInstalled()) {
        m_problem = QStringLiteral("pulseaudio is not installed");
        return;
    }
    const QDir home(m_home.path());
    home.mkpath(QStringLiteral("runtime"));
    ::chmod(QFile::encodeName(home.filePath(QStringLiteral("runtime"))).constData(), 0700);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), m_home.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.remove(QStringLiteral("PULSE_SERVER"));
    // No session bus to register on, and none to start.
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("disabled:"));
    m_server.setProcessEnvironment(environment);
    m_server.setProcessChannelMode(QProcess::MergedChannels);
    m_server.start(program(),
                   {QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                    QStringLiteral("--use-pid-file=no"), QStringLiteral("--log-target=stderr"),
                    QStringLiteral("-L"), QStringLiteral("module-null-sink"), QStringLiteral("-L"),
                    QStringLiteral("module-native-protocol-unix auth-anonymous=1 socket=") +
                        home.filePath(QStringLiteral("native"))});
    if (!m_server.waitForStarted(10000)) {
        m_problem = m_server.errorString();
        return;
    }
    const QString socket = home.filePath(QStringLiteral("native"));
    m_running = waitUntil(
        [&] { return QFileInfo(socket).exists() || m_server.state() == QProcess::NotRunning; }, 20000) &&
                m_server.state() == QProcess::Running && QFileInfo(socket).exists();
    if (!m_running) {
        m_problem = QStringLiteral("pulseaudio did not start: ") + QString::fromLocal8Bit(m_server.readAll());
        return;
    }
    qputenv("PULSE_SERVER", address().toLocal8Bit());
}

PrivateSoundServer::~PrivateSoundServer() {
    if (m_server.state() != QProcess::NotRunning) {
        m_server.terminate();
        if (!m_server.waitForFinished(5000))
            m_server.kill();
        m_server.waitForFinished(3000);
    }
    if (m_hadAddress)
        qputenv("PULSE_SERVER", m_previousAddress);
    else
        qunsetenv("PULSE_SERVER");
}

QString PrivateSoundServer::address() const {
    return QStringLiteral("unix:") + QDir(m_home.path()).filePath(QStringLiteral("native"));
}

bool PrivateSoundServer::isPlaying() const {
    QProcess pactl;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PULSE_SERVER"), address());
    pactl.setProcessEnvironment(environment);
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sink-inputs")});
    return pactl.waitForFinished(10000) && !pactl.readAllStandardOutput().trimmed().isEmpty();
}

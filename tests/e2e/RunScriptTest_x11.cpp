// scripts/run.sh as a user runs it twice: the first run starts the stand-in and the app; the second
// reaches the running app and ends; the user's settings and login items are never touched and the salt
// never shows on a command line.
#include "AppUnderTest.h"
#include "TestUtils.h"
#include "services/RequestSigner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <csignal>
#include <gtest/gtest.h>

namespace {

QList<qint64> childrenOf(qint64 pid) {
    QList<qint64> children;
    const std::optional<QByteArray> output =
        runTool(QStringLiteral("pgrep"), {QStringLiteral("-P"), QString::number(pid)});
    for (const QByteArray& line : output.value_or(QByteArray()).split('\n')) {
        bool ok = false;
        const qint64 child = line.trimmed().toLongLong(&ok);
        if (ok)
            children.append(child);
    }
    return children;
}

QByteArray commandLine(qint64 pid) {
    QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The script's child that is the app.
qint64 appOf(qint64 script) {
    const QByteArray program = QFileInfo(QStringLiteral(QUILLORA_APP_PATH)).absoluteFilePath().toUtf8();
    for (qint64 child : childrenOf(script)) {
        if (commandLine(child).startsWith(program))
            return child;
    }
    return 0;
}

class RunScript {
public:
    explicit RunScript(const QProcessEnvironment& environment) {
        QProcessEnvironment env = environment;
        env.insert(QStringLiteral("QUILLORA_RUN_BUILD_DIR"),
                   QFileInfo(QStringLiteral(QUILLORA_APP_PATH)).absolutePath());
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QStringLiteral("bash"), {QStringLiteral(QUILLORA_SOURCE_DIR "/scripts/run.sh")});
    }
    ~RunScript() {
        if (m_process.state() != QProcess::NotRunning) {
            for (qint64 child : childrenOf(m_process.processId()))
                ::kill(pid_t(child), SIGKILL);
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    bool waitFor(const QString& fragment, int timeoutMs = 30000) {
        return waitUntil(
                   [&] {
                       m_output += QString::fromUtf8(m_process.readAll());
                       return m_output.contains(fragment) || m_process.state() == QProcess::NotRunning;
                   },
                   timeoutMs) &&
               m_output.contains(fragment);
    }
    bool waitForExit(int timeoutMs = 20000) {
        const bool exited = waitUntil([&] { return m_process.state() == QProcess::NotRunning; }, timeoutMs);
        m_output += QString::fromUtf8(m_process.readAll());
        return exited;
    }
    QProcess m_process;
    QString m_output;
};

} // namespace

TEST(RunScriptTest, SecondRunReachesTheFirstAndLeavesTheUsersSettingsAlone) {
    AppUnderTest sandbox;
    const QString usersApi = QStringLiteral("https://api.example.org/mine");
    sandbox.setSetting(QStringLiteral("apiBaseURL"), usersApi);
    sandbox.setSetting(QStringLiteral("defaultTargetLanguage"), QStringLiteral("de"));

    const QString tmp = sandbox.home() + QStringLiteral("/tmp");
    ASSERT_TRUE(QDir().mkpath(tmp));
    QProcessEnvironment environment = sandbox.environment();
    environment.insert(QStringLiteral("TMPDIR"), tmp);
    auto privateAutostart = [&tmp] {
        return QDir(tmp).entryList({QStringLiteral("quillora-autostart.*")}, QDir::Dirs);
    };

    RunScript first(environment);
    ASSERT_TRUE(first.waitFor(AppUnderTest::launchFinishedLine)) << first.m_output.toStdString();
    EXPECT_TRUE(first.m_output.contains(QLatin1String("Local web API on http://127.0.0.1:")));
    EXPECT_EQ(sandbox.setting(QStringLiteral("apiBaseURL")).toString(), usersApi);

    // Launch at login is on from the first start, but the try-out's entry stays out of the user's login
    // items, in a folder of the script's own.
    EXPECT_FALSE(QFileInfo::exists(sandbox.configHome() + QStringLiteral("/autostart/quillora.desktop")));
    ASSERT_EQ(privateAutostart().size(), 1);
    EXPECT_TRUE(QFileInfo::exists(tmp + QLatin1Char('/') + privateAutostart().first() +
                                  QStringLiteral("/quillora.desktop")));

    // The stand-in and the app run as the script's children; neither shows the salt on its command line.
    const QList<qint64> children = childrenOf(first.m_process.processId());
    ASSERT_EQ(children.size(), 2);
    for (qint64 child : children)
        EXPECT_FALSE(commandLine(child).contains(RequestSigner::clientSalt()))
            << commandLine(child).toStdString();

    // Desktops list the app: its entry names the binary by absolute path, with the icon beside it.
    QFile entry(sandbox.dataHome() + QStringLiteral("/applications/quillora.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString appPath = QFileInfo(QStringLiteral(QUILLORA_APP_PATH)).canonicalFilePath();
    EXPECT_TRUE(QString::fromUtf8(entry.readAll()).contains(QStringLiteral("\nExec=\"%1\"\n").arg(appPath)));
    EXPECT_TRUE(
        QFileInfo::exists(sandbox.dataHome() + QStringLiteral("/icons/hicolor/scalable/apps/quillora.svg")));

    RunScript second(sandbox.environment());
    ASSERT_TRUE(second.waitForExit()) << second.m_output.toStdString();
    EXPECT_EQ(second.m_process.exitCode(), 0) << second.m_output.toStdString();
    // The running app opens its translator.
    const qint64 app = appOf(first.m_process.processId());
    ASSERT_NE(app, 0);
    EXPECT_TRUE(waitUntil([&] { return !AppUnderTest::windowsOf(app, AppUnderTest::translatorWindow).isEmpty(); },
                          20000));
    EXPECT_EQ(first.m_process.state(), QProcess::Running);
    EXPECT_EQ(sandbox.setting(QStringLiteral("apiBaseURL")).toString(), usersApi);

    // The app quits; the script stops its stand-in and ends with it.
    ::kill(pid_t(app), SIGTERM);
    ASSERT_TRUE(first.waitForExit());
    EXPECT_EQ(first.m_process.exitCode(), 0) << first.m_output.toStdString();
    EXPECT_TRUE(privateAutostart().isEmpty());
    for (qint64 child : children)
        EXPECT_TRUE(
            waitUntil([&] { return !QFileInfo::exists(QStringLiteral("/proc/%1").arg(child)); }, 20000));
    EXPECT_EQ(sandbox.setting(QStringLiteral("apiBaseURL")).toString(), usersApi);
    EXPECT_EQ(sandbox.setting(QStringLiteral("defaultTargetLanguage")).toString(), QStringLiteral("de"));
}

TEST(RunScriptTest, EndingTheScriptEndsTheAppWithItsStandIn) {
    AppUnderTest sandbox;
    // The user's own Quillora starts at login; the try-out leaves that as it is.
    const QString userEntry = sandbox.configHome() + QStringLiteral("/autostart/quillora.desktop");
    const QByteArray installed = "[Desktop Entry]\nType=Application\nName=Quillora\nExec=/usr/bin/quillora\n";
    ASSERT_TRUE(QDir().mkpath(QFileInfo(userEntry).absolutePath()));
    QFile entry(userEntry);
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write(installed);
    entry.close();

    RunScript script(sandbox.environment());
    ASSERT_TRUE(script.waitFor(AppUnderTest::launchFinishedLine)) << script.m_output.toStdString();
    const QList<qint64> children = childrenOf(script.m_process.processId());
    ASSERT_EQ(children.size(), 2);

    // As a session manager or a closed terminal would end it: the app must not stay behind without its
    // stand-in, failing every translation.
    ::kill(pid_t(script.m_process.processId()), SIGTERM);
    ASSERT_TRUE(script.waitForExit()) << script.m_output.toStdString();
    for (qint64 child : children)
        EXPECT_TRUE(
            waitUntil([&] { return !QFileInfo::exists(QStringLiteral("/proc/%1").arg(child)); }, 20000))
            << commandLine(child).toStdString();
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_EQ(entry.readAll(), installed);
}

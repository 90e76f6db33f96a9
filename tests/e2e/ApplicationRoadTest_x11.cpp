// The real quillora binary on a real display, as a user meets it: started the way scripts/run.sh starts
// it, a word double-clicked in another X client, the floating bar, a click on it, and the translation
// from the local web API in the popover, which a click on the tray icon leaves open; a second launch
// reaches the running instance.
#include "AppRoad.h"
#include "Desktop.h"
#include "TestUtils.h"
#include "TextWindowProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using ApplicationRoad = AppRoad;

namespace {

bool mapsNetworkLibrary(const AppUnderTest& app) {
    QFile maps(QStringLiteral("/proc/%1/maps").arg(app.processId()));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6Network");
}

} // namespace

TEST_F(ApplicationRoad, SelectionInAnotherClientIsTranslatedFromTheFloatingBar) {
    ASSERT_TRUE(m_app.start(&m_api, 30000, AppUnderTest::fullSetupLine));
    // Both permissions are present on an X11 display: no onboarding window.
    EXPECT_TRUE(m_app.windows(AppUnderTest::onboardingWindow).isEmpty());
    EXPECT_FALSE(mapsNetworkLibrary(m_app)) << "the network stack waits for the first request";

    // A word the stand-in has no dictionary entry for: its answer is "[<target>] <text>".
    TextWindowProcess client(QStringLiteral(QUILLORA_TEST_TEXTWINDOW_PATH));
    ASSERT_TRUE(client.start({QStringLiteral("--text"), QStringLiteral("quillora there")}));
    const QRect field = client.lineEditGeometry();
    ASSERT_TRUE(Desktop::clickAt(field.topLeft() + QPoint(14, field.height() / 2), 1, 2));

    const std::optional<quint32> bar = m_app.waitForWindow(AppUnderTest::floatingBarWindow);
    ASSERT_TRUE(bar);
    const std::optional<QRect> barFrame = AppUnderTest::windowGeometry(*bar);
    ASSERT_TRUE(barFrame);
    // Its translate button is the left part.
    ASSERT_TRUE(Desktop::clickAt(barFrame->topLeft() + QPoint(30, 30)));

    ASSERT_TRUE(waitUntil([&] { return !requestsTo(QStringLiteral("/api/translate/")).isEmpty(); }, 20000));
    const QJsonObject request = requestsTo(QStringLiteral("/api/translate/")).first();
    const QJsonObject body = request.value("body").toObject();
    EXPECT_EQ(request.value("status").toInt(), 200);
    EXPECT_TRUE(mapsNetworkLibrary(m_app));
    EXPECT_EQ(body.value("text").toString(), QStringLiteral("quillora"));
    EXPECT_EQ(body.value("trigger_source").toString(), QStringLiteral("floating_bar"));
    const QString expected = QStringLiteral("[%1] quillora").arg(body.value("target_language").toString());

    // The popover shows the answer: select its translation as a user would and read PRIMARY.
    const std::optional<quint32> popover = m_app.waitForWindow(AppUnderTest::translationWindow);
    ASSERT_TRUE(popover);
    const std::optional<QRect> frame = AppUnderTest::windowGeometry(*popover);
    ASSERT_TRUE(frame);
    // The translation's first line sits a little below the popover's middle; try around there.
    QList<QPoint> rows;
    for (int row : {190, 170, 210, frame->height() / 2})
        rows.append(frame->topLeft() + QPoint(60, row));
    QString selected;
    ASSERT_TRUE(Desktop::selectLineUntil(rows, expected, &selected))
        << "selected: " << selected.toStdString() << ", expected: " << expected.toStdString();

    // The tray icon is ours: a click on it opens the translator beside the bar and its popover, as a click
    // in another window of ours leaves them.
    const std::optional<QRect> icon = waitForTrayIcon();
    ASSERT_TRUE(icon);
    ASSERT_TRUE(Desktop::clickAt(icon->center()));
    EXPECT_TRUE(m_app.waitForWindow(AppUnderTest::translatorWindow));
    EXPECT_TRUE(Desktop::holdsFor(
        [&] {
            return m_app.windows(AppUnderTest::floatingBarWindow) == QList<quint32>{*bar} &&
                   m_app.windows(AppUnderTest::translationWindow) == QList<quint32>{*popover};
        },
        1000));
    EXPECT_EQ(m_app.stop(), 0);
}

TEST_F(ApplicationRoad, SecondLaunchReachesTheRunningInstanceAndExits) {
    // Left by an install that has since moved: the start writes the entry for this program.
    const QString autostart = m_app.configHome() + QStringLiteral("/autostart/quillora.desktop");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(autostart).absolutePath()));
    QFile entry(autostart);
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nName=Quillora\nExec=/opt/old/quillora\n");
    entry.close();
    m_app.setEnvironmentVariable(QStringLiteral("QUILLORA_AUTOSTART_DIR"), QString());

    ASSERT_TRUE(m_app.start(&m_api));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains(
        "\nExec=" + QFileInfo(QStringLiteral(QUILLORA_APP_PATH)).canonicalFilePath().toUtf8() + '\n'));
    entry.close();
    ASSERT_TRUE(m_app.windows(AppUnderTest::translatorWindow).isEmpty());
    QByteArray output;
    EXPECT_EQ(m_app.launchAgain(15000, &output), 0) << output.toStdString();
    // The running one opens its translator.
    EXPECT_TRUE(m_app.waitForWindow(AppUnderTest::translatorWindow));
    EXPECT_TRUE(m_app.isRunning());
    EXPECT_EQ(m_app.stop(), 0);

    // A crash leaves the lock and the socket behind; the next start takes them over.
    ASSERT_TRUE(m_app.start(&m_api));
    ::kill(pid_t(m_app.processId()), SIGKILL);
    ASSERT_TRUE(waitUntil([&] { return !m_app.isRunning(); }, 20000));
    ASSERT_TRUE(m_app.start(&m_api));
    EXPECT_EQ(m_app.launchAgain(15000, &output), 0) << output.toStdString();
    EXPECT_TRUE(m_app.waitForWindow(AppUnderTest::translatorWindow));
    EXPECT_EQ(m_app.stop(), 0);
}

// With no directory of the user's alone for the lock, a second instance could not be told from the first,
// and another user could take the socket's name: the app says so and does not start.
TEST_F(ApplicationRoad, NoPrivateDirectoryForTheLockMeansNoStart) {
    QTemporaryDir sandbox;
    ASSERT_TRUE(sandbox.isValid());
    const QString open = sandbox.filePath(QStringLiteral("open"));
    const QString temporary = sandbox.filePath(QStringLiteral("tmp"));
    const QString elsewhere = sandbox.filePath(QStringLiteral("elsewhere"));
    for (const QString& directory : {open, temporary, elsewhere})
        ASSERT_TRUE(QDir().mkdir(directory));
    ASSERT_EQ(::chmod(QFile::encodeName(open).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(elsewhere).constData(), 0700), 0);
    // The places in the temporary directory are taken: Qt's own by a file, ours by a link that whoever
    // made it could redirect.
    const QDir tmp(temporary);
    const passwd* user = ::getpwuid(::geteuid());
    ASSERT_NE(user, nullptr);
    QFile taken(tmp.filePath(QStringLiteral("runtime-") + QString::fromLocal8Bit(user->pw_name)));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    ASSERT_TRUE(QFile::link(elsewhere, tmp.filePath(QStringLiteral("quillora-%1").arg(::geteuid()))));
    m_app.setEnvironmentVariable(QStringLiteral("XDG_RUNTIME_DIR"), open);
    m_app.setEnvironmentVariable(QStringLiteral("TMPDIR"), temporary);

    ASSERT_TRUE(m_app.start(&m_api, 15000, QStringLiteral("Quillora cannot start: no private directory")));
    EXPECT_TRUE(waitUntil([&] { return !m_app.isRunning(); }, 5000));
    EXPECT_EQ(m_app.stop(), 1);
    EXPECT_TRUE(m_app.log().contains(tmp.filePath(QStringLiteral("quillora-%1").arg(::geteuid()))))
        << qPrintable(m_app.log());
}

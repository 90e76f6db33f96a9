// The real quillora binary on a real display, as a user meets it: started the way scripts/run.sh starts
// it, a word double-clicked in another X client, the floating bar, a click on it, and the translation
// from the local web API in the popover; a second launch reaches the running instance.
#include "AppUnderTest.h"
#include "DevApiServer.h"
#include "TestUtils.h"
#include "TextWindowProcess.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonObject>
#include <QStyleHints>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool xdo(const QStringList& arguments) {
    return runTool(QStringLiteral("xdotool"), arguments).has_value();
}

QStringList moveTo(QPoint p) {
    return {QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())};
}

// The app's visible window of exactly `size`, if any.
std::optional<QRect> windowOfSize(const AppUnderTest& app, QSize size, bool exactHeight = true) {
    for (quint32 id : app.windows()) {
        const std::optional<QRect> frame = AppUnderTest::windowGeometry(id);
        if (frame && frame->width() == size.width() && (!exactHeight || frame->height() == size.height()))
            return frame;
    }
    return std::nullopt;
}

class ApplicationRoad : public ::testing::Test {
protected:
    void SetUp() override {
        xdo({QStringLiteral("mouseup"), QStringLiteral("1")});
        ASSERT_TRUE(m_api.start());
    }
    void TearDown() override {
        if (HasFailure()) {
            AppUnderTest::saveScreenshot(QStringLiteral("application-road-failure"));
            std::fprintf(stderr, "The app's log:\n%s\n", qPrintable(m_app.log()));
        }
    }

    DevApiServer m_api;
    AppUnderTest m_app;
};

} // namespace

TEST_F(ApplicationRoad, SelectionInAnotherClientIsTranslatedFromTheFloatingBar) {
    ASSERT_TRUE(m_app.start(&m_api, 30000, AppUnderTest::fullSetupLine));
    // Both permissions are present on an X11 display: no onboarding window.
    EXPECT_TRUE(m_app.windows(QStringLiteral("^Welcome to Quillora$")).isEmpty());

    // A word the stand-in has no dictionary entry for: its answer is "[<target>] <text>".
    TextWindowProcess client(QStringLiteral(QUILLORA_TEST_TEXTWINDOW_PATH));
    ASSERT_TRUE(client.start({QStringLiteral("--text"), QStringLiteral("quillora there")}));
    spinFor(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 50);
    const QPoint word =
        client.lineEditGeometry().topLeft() + QPoint(14, client.lineEditGeometry().height() / 2);
    ASSERT_TRUE(xdo(moveTo(word) + QStringList{QStringLiteral("click"), QStringLiteral("--repeat"),
                                               QStringLiteral("2"), QStringLiteral("--delay"),
                                               QStringLiteral("80"), QStringLiteral("1")}));

    std::optional<QRect> bar;
    ASSERT_TRUE(waitUntil([&] { return (bar = windowOfSize(m_app, QSize(110, 60))).has_value(); }, 20000));
    // Hold the bar with the pointer, then click its translate button (the left part).
    ASSERT_TRUE(xdo(moveTo(bar->topLeft() + QPoint(30, 30))));
    spinFor(300);
    ASSERT_TRUE(xdo({QStringLiteral("click"), QStringLiteral("1")}));

    ASSERT_TRUE(waitUntil(
        [&] {
            return m_api.lastRequest().value("path").toString().startsWith(QLatin1String("/api/translate/"));
        },
        20000));
    const QJsonObject request = m_api.lastRequest();
    const QJsonObject body = request.value("body").toObject();
    EXPECT_EQ(request.value("status").toInt(), 200);
    EXPECT_EQ(body.value("text").toString(), QStringLiteral("quillora"));
    EXPECT_EQ(body.value("trigger_source").toString(), QStringLiteral("floating_bar"));
    const QString expected = QStringLiteral("[%1] quillora").arg(body.value("target_language").toString());

    // The popover shows the answer: select its translation as a user would and read PRIMARY.
    std::optional<QRect> popover;
    ASSERT_TRUE(
        waitUntil([&] { return (popover = windowOfSize(m_app, QSize(450, 0), false)).has_value(); }, 20000));
    spinFor(300);
    // The translation's first line sits a little below the popover's middle; try around there.
    const QList<int> rows = {190, 170, 210, popover->height() / 2};
    int attempt = 0;
    QString selected;
    ASSERT_TRUE(waitUntil(
        [&] {
            const QPoint translation = popover->topLeft() + QPoint(60, rows[attempt++ % rows.size()]);
            xdo(moveTo(translation) + QStringList{QStringLiteral("click"), QStringLiteral("--repeat"),
                                                  QStringLiteral("3"), QStringLiteral("--delay"),
                                                  QStringLiteral("60"), QStringLiteral("1")});
            selected = QString::fromUtf8(runTool(QStringLiteral("xclip"),
                                                 {QStringLiteral("-o"), QStringLiteral("-selection"),
                                                  QStringLiteral("primary")})
                                             .value_or(QByteArray()))
                           .trimmed();
            return selected == expected;
        },
        20000))
        << "selected: " << selected.toStdString() << ", expected: " << expected.toStdString();
    EXPECT_EQ(m_app.stop(), 0);
}

TEST_F(ApplicationRoad, SecondLaunchReachesTheRunningInstanceAndExits) {
    ASSERT_TRUE(m_app.start(&m_api));
    const qsizetype before = m_app.log().size();
    QByteArray output;
    EXPECT_EQ(m_app.launchAgain(15000, &output), 0) << output.toStdString();
    EXPECT_GE(m_app.waitForLog(QStringLiteral("[AppDelegate] Reopen requested"), 5000, before), 0);
    EXPECT_TRUE(m_app.isRunning());
    EXPECT_EQ(m_app.stop(), 0);

    // A crash leaves the lock and the socket behind; the next start takes them over.
    ASSERT_TRUE(m_app.start(&m_api));
    ::kill(pid_t(m_app.processId()), SIGKILL);
    ASSERT_TRUE(waitUntil([&] { return !m_app.isRunning(); }, 20000));
    ASSERT_TRUE(m_app.start(&m_api));
    EXPECT_EQ(m_app.launchAgain(15000, &output), 0) << output.toStdString();
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

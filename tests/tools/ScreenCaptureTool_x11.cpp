// The real quillora-screencapture on the test display, driven with xdotool; the clipboard is read back
// with xclip, as another application would.
#include "TestUtils.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QScopeGuard>
#include <QScreen>
#include <QWidget>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <xcb/xcb.h>

#ifdef QUILLORA_SCREENCAPTURE_PATH

namespace {

const QString toolPath = QStringLiteral(QUILLORA_SCREENCAPTURE_PATH);
// A clipboard server that lost the clipboard ends in its own time, which a loaded machine stretches.
constexpr int serverEndMs = 30000;

struct ProcessRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

ProcessRun run(const QString& program, const QStringList& args, const QByteArray& input = {}) {
    QProcess process;
    process.start(program, args);
    if (!input.isNull()) {
        process.write(input);
        process.closeWriteChannel();
    }
    ProcessRun result;
    if (process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

void xdotool(const QStringList& args) {
    ASSERT_EQ(run(QStringLiteral("xdotool"), args).exitCode, 0) << args.join(u' ').toStdString();
}

QByteArray clipboard(const QString& target) {
    return run(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                         QStringLiteral("-t"), target, QStringLiteral("-o")})
        .out;
}

// xclip stays in the background as the owner, like an application that copied the text. Its background
// copy takes the selection after the foreground one exits, so wait for it.
void copyText(const QString& text) {
    ASSERT_EQ(run(QStringLiteral("xclip"),
                  {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-i")},
                  text.toUtf8())
                  .exitCode,
              0);
    ASSERT_TRUE(waitUntil([&] { return clipboard(QStringLiteral("UTF8_STRING")) == text.toUtf8(); }, 5000));
}

// Asked of the X server, not of the owner, which may not answer.
xcb_window_t clipboardOwner() {
    xcb_connection_t* connection = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    const char name[] = "CLIPBOARD";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr);
    if (!atom)
        return XCB_NONE;
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
    const xcb_window_t window = owner ? owner->owner : XCB_NONE;
    free(atom);
    free(owner);
    return window;
}

QImage clipboardImage() {
    return QImage::fromData(clipboard(QStringLiteral("image/png")), "PNG");
}

// Capture-tool processes still running in the clipboard-server role.
// Servers of this display only: other test runs on the machine have displays of their own.
QList<pid_t> clipboardServers() {
    const QString tool = QFileInfo(toolPath).canonicalFilePath();
    const QByteArray display = "DISPLAY=" + qgetenv("DISPLAY") + '\0';
    QList<pid_t> servers;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs);
    for (const QString& pid : pids) {
        if (QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).canonicalFilePath() != tool)
            continue;
        QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
        if (!environ.open(QIODevice::ReadOnly))
            continue;
        const QByteArray variables = environ.readAll();
        if (variables.contains("QUILLORA_SCREENCAPTURE_ROLE=clipboard-server") && variables.contains(display))
            servers.append(pid.toInt());
    }
    return servers;
}

int clipboardServerCount() {
    return int(clipboardServers().size());
}

// A full-screen window whose every pixel differs from its neighbours, so a crop one pixel off shows.
class PatternWindow : public QWidget {
public:
    PatternWindow()
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint) {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        m_pattern = QImage(screen.size(), QImage::Format_RGB32);
        for (int y = 0; y < m_pattern.height(); ++y) {
            for (int x = 0; x < m_pattern.width(); ++x)
                m_pattern.setPixel(
                    x, y, qRgb((x * 7) & 0xff, (y * 11) & 0xff, ((x >> 5) * 37 + (y >> 5) * 53) & 0xff));
        }
        setGeometry(screen);
    }
    const QImage& pattern() const { return m_pattern; }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, m_pattern); }

private:
    QImage m_pattern;
};

// Each test starts from, and leaves, a display where no clipboard server of ours runs: one left behind
// would be counted by the next test (ctest runs each in a process of its own, one after the other).
class ScreenCaptureToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(waitUntil([] { return clipboardServerCount() == 0; }, serverEndMs))
            << "a clipboard server of an earlier run is still alive";
        m_pattern = std::make_unique<PatternWindow>();
        m_pattern->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pattern.get()));
        // Painted where the tests drag: a screen grabbed before that would differ from the tool's.
        const QRect area(50, 100, 600, 400);
        ASSERT_TRUE(waitUntil([&] {
            m_screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(
                QImage::Format_RGB32);
            return !m_screen.isNull() && m_screen.copy(area) == m_pattern->pattern().copy(area);
        }));
    }

    void TearDown() override {
        if (m_tool && m_tool->state() != QProcess::NotRunning) {
            m_tool->kill();
            m_tool->waitForFinished(3000);
        }
        if (clipboardServerCount() > 0)
            copyText(QStringLiteral("done"));
        EXPECT_TRUE(waitUntil([] { return clipboardServerCount() == 0; }, serverEndMs))
            << "the clipboard server goes away once something else is copied";
        // One that stayed has failed its test already; it is not left to fail the next one.
        for (const pid_t server : clipboardServers())
            ::kill(server, SIGKILL);
    }

    void startTool(const QStringList& extraEnvironment = {}) {
        m_tool = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& entry : extraEnvironment)
            env.insert(entry.section(u'=', 0, 0), entry.section(u'=', 1));
        m_tool->setProcessEnvironment(env);
        m_tool->start(toolPath, {QStringLiteral("-i"), QStringLiteral("-s"), QStringLiteral("-c")});
        ASSERT_TRUE(m_tool->waitForStarted(5000));
        ASSERT_TRUE(waitUntil(
            [] {
                return run(QStringLiteral("xdotool"),
                           {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                            QStringLiteral("--name"), QStringLiteral("Quillora screen capture")})
                           .exitCode == 0;
            },
            10000));
    }

    int toolExitCode() {
        if ((m_tool->state() != QProcess::NotRunning && !m_tool->waitForFinished(10000)) ||
            m_tool->exitStatus() != QProcess::NormalExit)
            return -1;
        return m_tool->exitCode();
    }

    // The overlay holds the keyboard only once the server lets it grab it, which a loaded machine may
    // delay past the first press; pressing again is harmless.
    void pressEscapeUntilTheToolExits() {
        for (int i = 0; i < 20 && m_tool->state() != QProcess::NotRunning; ++i) {
            xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
            m_tool->waitForFinished(500);
        }
    }

    void drag(QPoint from, QPoint to) {
        const auto n = [](int v) { return QString::number(v); };
        xdotool({QStringLiteral("mousemove"), n(from.x()), n(from.y()), QStringLiteral("mousedown"),
                 QStringLiteral("1"), QStringLiteral("mousemove"), n((from.x() + to.x()) / 2),
                 n((from.y() + to.y()) / 2), QStringLiteral("mousemove"), n(to.x()), n(to.y()),
                 QStringLiteral("mouseup"), QStringLiteral("1")});
    }

    std::unique_ptr<PatternWindow> m_pattern;
    QImage m_screen;
    std::unique_ptr<QProcess> m_tool;
};

TEST_F(ScreenCaptureToolTest, DraggedRegionStaysOnTheClipboardUntilSomethingElseIsCopied) {
    copyText(QStringLiteral("before"));
    startTool();
    drag({100, 120}, {340, 300});
    ASSERT_EQ(toolExitCode(), 0) << m_tool->readAllStandardError().toStdString();

    const QImage copied = clipboardImage();
    ASSERT_EQ(copied.size(), QSize(240, 180));
    EXPECT_EQ(copied.convertToFormat(QImage::Format_RGB32), m_screen.copy(100, 120, 240, 180));

    // The tool has exited; its detached server still answers, again and again.
    EXPECT_EQ(clipboardServerCount(), 1);
    EXPECT_EQ(clipboardImage().size(), QSize(240, 180));
    EXPECT_EQ(clipboardServerCount(), 1);

    // Another copy takes the clipboard; the server has nothing left to serve and goes away.
    copyText(QStringLiteral("after"));
    EXPECT_TRUE(waitUntil([] { return clipboardServerCount() == 0; }, serverEndMs));
}

// The client that took the clipboard may have left by the time the server hears of it, as a short-lived
// copy tool or one on a loaded machine does; the server still has nothing left to serve.
TEST_F(ScreenCaptureToolTest, ServerEndsWhenTheClipboardWasTakenByAClientThatHasLeftSince) {
    startTool();
    drag({100, 120}, {340, 300});
    ASSERT_EQ(toolExitCode(), 0);
    const QList<pid_t> servers = clipboardServers();
    ASSERT_EQ(servers.size(), 1);
    const xcb_window_t server = clipboardOwner();
    ASSERT_EQ(::kill(servers[0], SIGSTOP), 0);
    const auto resume = qScopeGuard([&] { ::kill(servers[0], SIGCONT); });
    QProcess owner;
    owner.start(QStringLiteral("xclip"),
                {QStringLiteral("-quiet"), QStringLiteral("-selection"), QStringLiteral("clipboard"),
                 QStringLiteral("-i")});
    owner.write("gone");
    owner.closeWriteChannel();
    ASSERT_TRUE(waitUntil([&] { return clipboardOwner() != server; }, 5000));
    EXPECT_EQ(clipboard(QStringLiteral("UTF8_STRING")), "gone");
    owner.kill();
    ASSERT_TRUE(owner.waitForFinished(5000));

    ::kill(servers[0], SIGCONT);
    EXPECT_TRUE(waitUntil([] { return clipboardServerCount() == 0; }, serverEndMs));
}

TEST_F(ScreenCaptureToolTest, DragUpwardsAndLeftCropsTheSameRegion) {
    startTool();
    drag({503, 411}, {201, 250});
    ASSERT_EQ(toolExitCode(), 0);
    const QImage copied = clipboardImage();
    ASSERT_EQ(copied.size(), QSize(302, 161));
    EXPECT_EQ(copied.convertToFormat(QImage::Format_RGB32), m_screen.copy(201, 250, 302, 161));
}

TEST_F(ScreenCaptureToolTest, ScaledScreenCropsExactPhysicalPixels) {
    // Odd physical coordinates fall between two device-independent pixels at scale 2.
    startTool({QStringLiteral("QT_SCALE_FACTOR=2")});
    drag({101, 121}, {342, 302});
    ASSERT_EQ(toolExitCode(), 0);
    const QImage copied = clipboardImage();
    ASSERT_EQ(copied.size(), QSize(241, 181));
    EXPECT_EQ(copied.convertToFormat(QImage::Format_RGB32), m_screen.copy(101, 121, 241, 181));
}

TEST_F(ScreenCaptureToolTest, EscapeOrAPlainClickCancelsAndLeavesTheClipboardAlone) {
    copyText(QStringLiteral("keep me"));

    startTool();
    pressEscapeUntilTheToolExits();
    EXPECT_EQ(toolExitCode(), 1);
    EXPECT_EQ(clipboard(QStringLiteral("UTF8_STRING")), "keep me");

    startTool();
    xdotool({QStringLiteral("mousemove"), QStringLiteral("300"), QStringLiteral("300"),
             QStringLiteral("click"), QStringLiteral("1")});
    EXPECT_EQ(toolExitCode(), 1);
    EXPECT_EQ(clipboard(QStringLiteral("UTF8_STRING")), "keep me");
    EXPECT_FALSE(clipboard(QStringLiteral("TARGETS")).contains("image/png"));
    EXPECT_EQ(clipboardServerCount(), 0);
}

TEST(ScreenCaptureToolArguments, AcceptsOnlyTheInteractiveClipboardFlags) {
    for (const QStringList& args : {QStringList{QStringLiteral("-x")}, QStringList{},
                                    QStringList{QStringLiteral("-i"), QStringLiteral("-s")},
                                    QStringList{QStringLiteral("-isc"), QStringLiteral("file.png")},
                                    QStringList{QStringLiteral("--help")}}) {
        const ProcessRun result = run(toolPath, args);
        EXPECT_EQ(result.exitCode, 2) << args.join(u' ').toStdString();
        EXPECT_TRUE(result.err.startsWith("usage: quillora-screencapture -i -s -c"))
            << result.err.toStdString();
    }
}

} // namespace

#endif

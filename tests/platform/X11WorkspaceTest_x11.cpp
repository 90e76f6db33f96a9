// The frontmost and running applications of a real X display with a window manager.
#include "TestUtils.h"
#include "TextWindowProcess.h"
#include "platform/x11/X11Workspace.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QGuiApplication>
#include <QProcess>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

namespace {

const QString kClientId = QStringLiteral("quillora-test-textwindow");

class X11WorkspaceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dataDir.isValid()); }
    void TearDown() override { QLocale::setDefault(m_locale); }

    QString applicationsDir() const { return m_dataDir.filePath(QStringLiteral("applications")); }

    void writeEntry(const QString& fileName, const QByteArray& contents) {
        QDir().mkpath(applicationsDir());
        QFile file(QDir(applicationsDir()).filePath(fileName));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }

    static bool activate(const TextWindowProcess& client) {
        return xdotool(
            {QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(client.windowId())});
    }

    QTemporaryDir m_dataDir;
    QLocale m_locale;
};

TEST_F(X11WorkspaceTest, FrontmostApplicationIsTheActivatedClient) {
    X11Workspace workspace({applicationsDir()});
    TextWindowProcess first(QStringLiteral(QUILLORA_TEST_TEXTWINDOW_PATH));
    TextWindowProcess second(QStringLiteral(QUILLORA_TEST_TEXTWINDOW_PATH));
    ASSERT_TRUE(first.start({QStringLiteral("--title"), QStringLiteral("first")}));
    ASSERT_TRUE(second.start({QStringLiteral("--title"), QStringLiteral("second")}));

    for (TextWindowProcess* client : {&first, &second}) {
        ASSERT_TRUE(activate(*client));
        ASSERT_TRUE(waitUntil([&] {
            const auto app = workspace.frontmostApplication();
            return app && app->windowId == client->windowId();
        }));
        const RunningApplication app = *workspace.frontmostApplication();
        EXPECT_EQ(app.processId, client->processId());
        // No desktop entry: the lower-cased window class names it.
        EXPECT_EQ(app.bundleIdentifier, kClientId);
        EXPECT_EQ(app.localizedName.toLower(), kClientId);
        EXPECT_TRUE(app.bundlePath.isEmpty());
    }
}

TEST_F(X11WorkspaceTest, DesktopEntryNamesTheApplication) {
    writeEntry(QStringLiteral("org.example.TextWindow.desktop"),
               "[Desktop Entry]\nType=Application\nName=Text Window\nName[de]=Textfenster\n"
               "StartupWMClass=quillora-test-textwindow\nIcon=" +
                   QFile::encodeName(QStringLiteral(QUILLORA_SOURCE_DIR "/tests/platform/missing-icon.svg")) +
                   "\n");
    X11Workspace workspace({applicationsDir()});
    TextWindowProcess client(QStringLiteral(QUILLORA_TEST_TEXTWINDOW_PATH));
    ASSERT_TRUE(client.start());
    ASSERT_TRUE(activate(client));
    ASSERT_TRUE(waitUntil([&] {
        const auto app = workspace.frontmostApplication();
        return app && app->windowId == client.windowId();
    }));

    RunningApplication app = *workspace.frontmostApplication();
    EXPECT_EQ(app.bundleIdentifier, QStringLiteral("org.example.TextWindow"));
    EXPECT_EQ(app.bundlePath,
              QDir(applicationsDir()).filePath(QStringLiteral("org.example.TextWindow.desktop")));
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    EXPECT_EQ(workspace.frontmostApplication()->localizedName, QStringLiteral("Text Window"));
    QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
    EXPECT_EQ(workspace.frontmostApplication()->localizedName, QStringLiteral("Textfenster"));
    // An icon path that does not exist gives no icon rather than a broken one.
    EXPECT_TRUE(workspace.iconForApplication(app).isNull());
}

TEST_F(X11WorkspaceTest, RunningApplicationsListEachTaskbarApplicationOnce) {
    X11Workspace workspace({applicationsDir()});
    TextWindowProcess first(QStringLiteral(QUILLORA_TEST_TEXTWINDOW_PATH));
    TextWindowProcess second(QStringLiteral(QUILLORA_TEST_TEXTWINDOW_PATH));
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(second.start());

    // A window of this process that asks to stay off the taskbar.
    QWidget hidden;
    hidden.setWindowTitle(QStringLiteral("off the taskbar"));
    hidden.winId();
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    ASSERT_NE(x11, nullptr);
    xcb_connection_t* connection = x11->connection();
    const auto intern = [connection](const char* name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, false, qstrlen(name), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return atom;
    };
    const xcb_atom_t skip = intern("_NET_WM_STATE_SKIP_TASKBAR");
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, xcb_window_t(hidden.winId()),
                        intern("_NET_WM_STATE"), XCB_ATOM_ATOM, 32, 1, &skip);
    xcb_flush(connection);
    hidden.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&hidden));

    QList<RunningApplication> apps;
    ASSERT_TRUE(waitUntil([&] {
        apps = workspace.runningApplications();
        return std::count_if(apps.cbegin(), apps.cend(), [](const RunningApplication& a) {
                   return a.bundleIdentifier == kClientId;
               }) == 1;
    }));
    const auto client = std::find_if(apps.cbegin(), apps.cend(), [](const RunningApplication& a) {
        return a.bundleIdentifier == kClientId;
    });
    EXPECT_TRUE(client->processId == first.processId() || client->processId == second.processId());
    for (const RunningApplication& app : apps) {
        EXPECT_NE(app.windowId, quint32(hidden.winId()));
        EXPECT_FALSE(app.bundleIdentifier.isEmpty());
    }
}

} // namespace

namespace {

// The window's top-left corner in root coordinates, asked of the server.
QPoint rootOrigin(quint32 window) {
    xcb_connection_t* connection = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    std::unique_ptr<xcb_translate_coordinates_reply_t, decltype(&std::free)> reply(
        xcb_translate_coordinates_reply(connection, xcb_translate_coordinates(connection, window, root, 0, 0),
                                        nullptr),
        &std::free);
    return reply ? QPoint(reply->dst_x, reply->dst_y) : QPoint();
}

void setWindowType(QWidget& widget, const char* type) {
    xcb_connection_t* connection = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    auto intern = [&](const char* name) {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(connection, xcb_intern_atom(connection, false, qstrlen(name), name), nullptr),
            &std::free);
        return reply->atom;
    };
    const xcb_atom_t value = intern(type);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, xcb_window_t(widget.winId()),
                        intern("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1, &value);
    xcb_flush(connection);
}

} // namespace

// Only the client area of an application's normal window is a place where text can be selected.
TEST_F(X11WorkspaceTest, ApplicationWindowAtIsTheClientAreaNeverFramesDesktopOrDocks) {
    X11Workspace workspace({applicationsDir()});
    TextWindowProcess client(QStringLiteral(QUILLORA_TEST_TEXTWINDOW_PATH));
    ASSERT_TRUE(client.start());
    ASSERT_TRUE(activate(client));
    QWidget dock;
    dock.setGeometry(700, 850, 200, 40);
    dock.winId();
    setWindowType(dock, "_NET_WM_WINDOW_TYPE_DOCK");
    dock.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dock));
    spinFor(200);

    const QPoint clientOrigin = rootOrigin(client.windowId());
    const QPoint inClient = client.lineEditGeometry().center();
    const auto app = workspace.applicationWindowAt(inClient);
    ASSERT_TRUE(app);
    EXPECT_EQ(app->windowId, client.windowId());
    EXPECT_EQ(app->bundleIdentifier, kClientId);
    // The title bar openbox draws above the client.
    EXPECT_FALSE(workspace.applicationWindowAt(QPoint(inClient.x(), clientOrigin.y() - 8)));
    EXPECT_FALSE(workspace.applicationWindowAt(dock.geometry().center()));
    EXPECT_FALSE(workspace.applicationWindowAt(QPoint(1500, 950))); // the bare root window

    const auto focus = workspace.keyboardFocusApplication();
    ASSERT_TRUE(focus);
    EXPECT_EQ(focus->windowId, client.windowId());
}

// The README's own recipe runs the app under a bare Xvfb: no window manager, so no active window and no
// WM_STATE. The application is then the top-level window under the pointer, where keys also go.
TEST(X11WorkspaceWithoutWindowManager, TheWindowUnderThePointerNamesTheApplication) {
    if (!qEnvironmentVariableIsSet("QUILLORA_TEST_BARE_DISPLAY")) {
        QProcess server;
        server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                              QStringLiteral("0"), QStringLiteral("1024x768x24"),
                                              QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        ASSERT_TRUE(waitUntil([&] { return server.canReadLine(); }, 10000));
        const QByteArray display = ':' + server.readLine().trimmed();
        QProcess self;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
        environment.insert(QStringLiteral("QUILLORA_TEST_BARE_DISPLAY"), QStringLiteral("1"));
        self.setProcessEnvironment(environment);
        self.setProcessChannelMode(QProcess::ForwardedChannels);
        self.start(QCoreApplication::applicationFilePath(),
                   {QStringLiteral("--gtest_filter=X11WorkspaceWithoutWindowManager.*")});
        ASSERT_TRUE(waitUntil([&] { return self.state() == QProcess::NotRunning; }, 60000));
        EXPECT_EQ(self.exitCode(), 0);
        server.terminate();
        server.waitForFinished(5000);
        return;
    }
    X11Workspace workspace(QStringList{});
    TextWindowProcess client(QStringLiteral(QUILLORA_TEST_TEXTWINDOW_PATH));
    ASSERT_TRUE(client.start());
    const QPoint inClient = client.lineEditGeometry().center();
    ASSERT_TRUE(xdotool({QStringLiteral("mousemove"), QString::number(inClient.x()), QString::number(inClient.y())}));
    spinFor(100);
    EXPECT_FALSE(workspace.frontmostApplication());
    const auto app = workspace.applicationWindowAt(inClient);
    ASSERT_TRUE(app);
    EXPECT_EQ(app->windowId, client.windowId());
    EXPECT_EQ(app->bundleIdentifier, kClientId);
    const auto focus = workspace.keyboardFocusApplication();
    ASSERT_TRUE(focus);
    EXPECT_EQ(focus->windowId, client.windowId());
    EXPECT_FALSE(workspace.applicationWindowAt(QPoint(1000, 750)));
}

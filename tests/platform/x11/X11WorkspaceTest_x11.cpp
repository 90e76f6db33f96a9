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

TEST_F(X11WorkspaceTest, RunningApplicationsListEachTaskbarProgramOnce) {
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

    // A second window of a client is no second entry; a second client is.
    QWidget other;
    other.setWindowTitle(QStringLiteral("second window"));
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    const auto entriesOf = [](const QList<RunningApplication>& list, qint64 processId) {
        return std::count_if(list.cbegin(), list.cend(),
                             [processId](const RunningApplication& a) { return a.processId == processId; });
    };
    QList<RunningApplication> apps;
    ASSERT_TRUE(waitUntil([&] {
        apps = workspace.runningApplications();
        return entriesOf(apps, first.processId()) == 1 && entriesOf(apps, second.processId()) == 1 &&
               entriesOf(apps, QCoreApplication::applicationPid()) == 1;
    })) << apps.size();
    const auto client = std::find_if(apps.cbegin(), apps.cend(), [](const RunningApplication& a) {
        return a.bundleIdentifier == kClientId;
    });
    ASSERT_NE(client, apps.cend());
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
    // Exposed means the window manager has managed it and mapped it.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dock));

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

namespace {

template <typename T> using XcbReply = std::unique_ptr<T, decltype(&std::free)>;

// Set in a run of this binary on a display of its own: "bare" or the window manager's name.
QString ownDisplay() {
    return qEnvironmentVariable("QUILLORA_TEST_OWN_DISPLAY");
}

// Runs the tests matching `filter` again in a new process on a new Xvfb display, under the window manager
// that `manager` starts when it is given (with a home of its own: some write their settings there).
void runOnOwnDisplay(const QString& filter, const QStringList& manager = {}) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    QProcess server;
    server.start(QStringLiteral("Xvfb"),
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                  QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                  QStringLiteral("tcp")});
    ASSERT_TRUE(waitUntil([&] { return server.canReadLine(); }, 10000));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(':' + server.readLine().trimmed()));
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    QProcess windowManager;
    if (!manager.isEmpty()) {
        windowManager.setProcessEnvironment(environment);
        windowManager.setStandardOutputFile(QProcess::nullDevice());
        windowManager.setStandardErrorFile(QProcess::nullDevice());
        windowManager.start(manager.first(), manager.mid(1));
        ASSERT_TRUE(windowManager.waitForStarted()) << qPrintable(manager.join(u' '));
    }
    environment.insert(QStringLiteral("QUILLORA_TEST_OWN_DISPLAY"),
                       manager.isEmpty() ? QStringLiteral("bare") : manager.last());
    const ChildTestRun run = runTestsInChild(filter, environment);
    EXPECT_TRUE(run.exitedCleanly) << qPrintable(manager.join(u' '));
    EXPECT_FALSE(run.passed.isEmpty()) << qPrintable(manager.join(u' '));
    EXPECT_EQ(run.failed, QStringList()) << qPrintable(manager.join(u' '));
    // The display first: a window manager ends with it, and so then does what started it.
    server.terminate();
    server.waitForFinished(5000);
    if (windowManager.state() != QProcess::NotRunning && !windowManager.waitForFinished(5000)) {
        windowManager.kill();
        windowManager.waitForFinished(5000);
    }
}

XcbReply<xcb_get_property_reply_t> property(quint32 window, const char* name) {
    xcb_connection_t* connection =
        qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    XcbReply<xcb_intern_atom_reply_t> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, false, qstrlen(name), name), nullptr),
        &std::free);
    return XcbReply<xcb_get_property_reply_t>(
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, false, window, atom->atom, XCB_ATOM_ANY, 0, 16),
                               nullptr),
        &std::free);
}

bool hasProperty(quint32 window, const char* name) {
    const auto reply = property(window, name);
    return reply && reply->type != XCB_ATOM_NONE;
}

} // namespace

// The README's own recipe runs the app under a bare Xvfb: no window manager, so no active window and no
// WM_STATE. The application is then the top-level window under the pointer, where keys also go.
TEST(X11WorkspaceWithoutWindowManager, TheWindowUnderThePointerNamesTheApplication) {
    if (ownDisplay().isEmpty()) {
        runOnOwnDisplay(QStringLiteral("X11WorkspaceWithoutWindowManager.*"));
        return;
    }
    X11Workspace workspace(QStringList{});
    TextWindowProcess client(QStringLiteral(QUILLORA_TEST_TEXTWINDOW_PATH));
    ASSERT_TRUE(client.start());
    const QPoint inClient = client.lineEditGeometry().center();
    ASSERT_TRUE(xdotool({QStringLiteral("mousemove"), QString::number(inClient.x()), QString::number(inClient.y())}));
    settleDisplay();
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

// Some window managers make their frames override-redirect windows, which hold the client window like any
// frame; menus, tooltips and our own bar are override-redirect windows with no client inside.
TEST(X11WorkspaceUnderOtherWindowManagers, OverrideRedirectFramesLeadToTheirClient) {
    if (ownDisplay().isEmpty()) {
        // xfwm4 reads its settings over a session bus.
        const QStringList managers[] = {{QStringLiteral("icewm")},
                                        {QStringLiteral("fluxbox")},
                                        {QStringLiteral("dbus-run-session"), QStringLiteral("xfwm4")}};
        for (const QStringList& manager : managers)
            runOnOwnDisplay(QStringLiteral("X11WorkspaceUnderOtherWindowManagers.*"), manager);
        return;
    }
    const quint32 root =
        xcb_setup_roots_iterator(
            xcb_get_setup(qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection()))
            .data->root;
    ASSERT_TRUE(waitUntil([&] { return hasProperty(root, "_NET_SUPPORTING_WM_CHECK"); }, 20000))
        << qPrintable(ownDisplay()) << " did not start";
    X11Workspace workspace(QStringList{});
    TextWindowProcess client(QStringLiteral(QUILLORA_TEST_TEXTWINDOW_PATH));
    ASSERT_TRUE(client.start());
    ASSERT_TRUE(waitUntil([&] { return hasProperty(client.windowId(), "WM_STATE"); }, 10000));

    // The manager may still be placing the frame: ask again until the answer settles on a client.
    QPoint inClient;
    std::optional<RunningApplication> app;
    ASSERT_TRUE(waitUntil(
        [&] {
            inClient = rootOrigin(client.windowId()) + QPoint(40, 20);
            app = workspace.applicationWindowAt(inClient);
            return app.has_value();
        },
        5000))
        << qPrintable(ownDisplay());
    EXPECT_EQ(app->windowId, client.windowId());
    EXPECT_EQ(app->bundleIdentifier, kClientId);
    EXPECT_FALSE(workspace.applicationWindowAt(QPoint(inClient.x(), rootOrigin(client.windowId()).y() - 8)))
        << "the title bar of " << qPrintable(ownDisplay());

    // A tooltip-like window of ours over the client.
    QWidget bar(nullptr, Qt::ToolTip);
    bar.setGeometry(QRect(inClient - QPoint(20, 10), QSize(60, 30)));
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    EXPECT_FALSE(workspace.applicationWindowAt(inClient)) << qPrintable(ownDisplay());
}

// The frontmost and running applications of a real X display with a window manager.
#include "TestUtils.h"
#include "TextWindowProcess.h"
#include "platform/x11/X11Workspace.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
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

#pragma once

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <memory>
#include <optional>

class DevApiServer;

#ifdef QUILLORA_APP_PATH
#define QUILLORA_APP_DEFAULT_PROGRAM QStringLiteral(QUILLORA_APP_PATH)
#else
#define QUILLORA_APP_DEFAULT_PROGRAM QString()
#endif

// The real quillora binary for an end-to-end test (tests/e2e/*_x11.cpp), started the way scripts/run.sh
// starts it: pointed at a local web API through QUILLORA_DEV_API_URL, with nothing of the user's touched.
// Each instance has a sandbox of its own: temporary XDG_CONFIG_HOME (settings, autostart entry),
// XDG_RUNTIME_DIR (mode 0700: the single-instance lock and socket), XDG_DATA_HOME and HOME. Typical use:
//
//     DevApiServer api;
//     ASSERT_TRUE(api.start());
//     AppUnderTest app;
//     app.setSetting("defaultTargetLanguage", "tr");   // optional, before start()
//     ASSERT_TRUE(app.start(&api));                      // waits for the end of the start-up sequence
//     ASSERT_TRUE(app.waitForLog(AppUnderTest::fullSetupLine));
//     ... drive it with xdotool, read api.requestLog(), app.windows(), app.log() ...
//     EXPECT_EQ(app.stop(), 0);                          // SIGTERM: the app quits as from its menu
//
// The app's standard output and error are collected in log(): the lines that say how far its start got
// (QUILLORA_REPORT_STATE, set here) in every build, its debug log ("[Tag] message") in debug builds. A failing test can call saveScreenshot(). The destructor stops the app and
// removes the sandbox. The program path comes from QUILLORA_APP_PATH (set for every test target).
class AppUnderTest {
public:
    // The line the app logs when its start-up sequence has run (the permission gate included).
    static const QString launchFinishedLine;
    // The line logged when the full setup (floating bar and selection monitor) is in place.
    static const QString fullSetupLine;
    // The entries the tray icon's menu ends with (an empty one is a separator); "About Quillora" comes
    // above them while the app has a taskbar presence.
    static const QStringList trayMenuEnd;
    // The titles of the app's windows, as patterns for windows() and waitForWindow().
    static const QString translatorWindow;  // the tray popover
    static const QString trayIconWindow;
    static const QString floatingBarWindow;
    static const QString translationWindow; // the translation at the floating bar or at the pointer
    static const QString settingsWindow;
    static const QString onboardingWindow;

    explicit AppUnderTest(QString program = QUILLORA_APP_DEFAULT_PROGRAM);
    ~AppUnderTest();
    AppUnderTest(const AppUnderTest&) = delete;
    AppUnderTest& operator=(const AppUnderTest&) = delete;

    // Writes a user default into the sandbox's settings file; use before start().
    void setSetting(const QString& key, const QVariant& value);
    // A stored user default, read from the settings file (the app writes each change at once).
    QVariant setting(const QString& key) const;
    // Adds (or, with an empty value, removes) a variable of the app's environment (DISPLAY, say, for a
    // display of the test's own); before start().
    void setEnvironmentVariable(const QString& name, const QString& value);

    // Starts the app (pointed at `api` when given) and waits until it logged `readyLine`. False when it
    // exited or did not get there in time.
    bool start(const DevApiServer* api = nullptr, int timeoutMs = 30000,
               const QString& readyLine = launchFinishedLine);
    // Waits until the log holds `fragment` at or after character `from`; returns the position or -1.
    qsizetype waitForLog(const QString& fragment, int timeoutMs = 20000, qsizetype from = 0);
    QString log();
    // Where the app last reported control `name` (see StateReport::followPlace) in the log at or after
    // character `from`: nothing while it has not been painted since, or hid last.
    std::optional<QRect> placeOf(const QString& name, qsizetype from = 0);
    // Waits until the app reports control `name` on screen at or after character `from` of the log.
    std::optional<QRect> waitForPlace(const QString& name, qsizetype from = 0, int timeoutMs = 20000);

    // Sends SIGTERM and waits for the exit; returns the exit code (-1 when it crashed or hung, after
    // which it is killed).
    int stop(int timeoutMs = 15000);
    bool isRunning() const;
    qint64 processId() const;

    // Launches the binary a second time in the same sandbox and returns its exit code (-1: no normal exit
    // within `timeoutMs`); `output` receives what it printed.
    int launchAgain(int timeoutMs = 15000, QByteArray* output = nullptr);

    // The app's mapped top-level windows (X window ids) on its display, through xdotool.
    QList<quint32> windows(const QString& nameRegex = {}) const;
    // The mapped windows of process `pid` whose title matches `nameRegex` (any when empty), on `display`
    // (this process's when empty).
    static QList<quint32> windowsOf(qint64 pid, const QString& nameRegex = {}, const QString& display = {});
    // The first mapped window of the app whose title matches `nameRegex` within `timeoutMs`.
    std::optional<quint32> waitForWindow(const QString& nameRegex, int timeoutMs = 20000);
    // Whether no window of the app whose title matches `nameRegex` is mapped within `timeoutMs`.
    bool waitForNoWindow(const QString& nameRegex, int timeoutMs = 20000);
    static std::optional<QRect> windowGeometry(quint32 window);
    // Right-clicks the tray icon at `icon`; where the menu it opens is on screen, once it is.
    std::optional<QRect> openTrayMenu(QPoint icon, int timeoutMs = 20000);
    // Right-clicks the tray icon at `icon` and, once the menu it opens is on screen, clicks its entry
    // `entry`, found among the entries the menu ends with, `lastEntries` (an empty one is a separator):
    // entries above them may come and go. A click, not keys: keys reach a menu only once it holds the
    // keyboard, which a loaded machine may delay past any fixed pause.
    bool chooseFromTrayMenu(QPoint icon, const QStringList& lastEntries, const QString& entry,
                            int timeoutMs = 20000);
    // Where the menu opened by the last openTrayMenu() or chooseFromTrayMenu() was on screen.
    QRect lastTrayMenu() const { return m_lastTrayMenu; }
    static QString windowName(quint32 window);
    // Waits until `window` has the keyboard focus, so that keys typed next reach it.
    static bool waitForKeyboardFocus(quint32 window, int timeoutMs = 20000);
    // What `window` shows now, as the X server has it (empty when it is gone).
    static QImage windowImage(quint32 window);

    // Saves a picture of the screen as <name>.png in artifactDir(); returns its path, empty when it failed.
    static QString saveScreenshot(const QString& name);
    // For a test that failed: the screen saved so, its path named in a further failure.
    static void saveFailureScreenshot(const QString& name);
    // Where tests leave what they save: QUILLORA_TEST_ARTIFACTS when set, otherwise a folder of this test
    // process's own in the temporary directory, kept after the process ends.
    static QString artifactDir();

    QProcessEnvironment environment() const { return m_environment; }
    QString configHome() const;
    QString runtimeDir() const;
    QString dataHome() const;
    QString home() const;
    QString settingsPath() const;

private:
    void readOutput();

    QString m_program;
    std::unique_ptr<QTemporaryDir> m_sandbox;
    QProcessEnvironment m_environment;
    QRect m_lastTrayMenu;
    std::unique_ptr<QProcess> m_process;
    QString m_log;
};

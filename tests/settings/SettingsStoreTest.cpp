// The settings store's first-launch and reset rules, and the two settings whose effect lies outside the
// process: taskbar presence and launch at login (with the real XDG autostart entry).
#include "FakePlatform.h"
#include "FakeUpdateChecks.h"
#include "TestUtils.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/UserDefaults.h"
#include "platform/x11/X11LoginItem.h"
#include "settings/DockIconManager.h"
#include "settings/LaunchAtLoginManager.h"
#include "settings/SettingsManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

UserDefaults& defaults() {
    return UserDefaults::standard();
}

using Stored = QList<QPair<QString, QVariant>>;

void store(const Stored& values) {
    for (const auto& [key, value] : values)
        defaults().set(key, value);
}

// Collects the warnings written while it lives.
struct WarningCapture {
    WarningCapture() {
        s_current = this;
        m_previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtWarningMsg && s_current)
                s_current->lines.append(text);
        });
    }
    ~WarningCapture() {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    QStringList lines;
    static inline WarningCapture* s_current = nullptr;
    QtMessageHandler m_previous;
};

} // namespace

TEST(SettingsStoreTest, FirstLaunchAndMissingKeys) {
    struct Case {
        const char* name;
        Stored before;
        Stored expected;
        bool showFloatingBar;
    };
    const QList<Case> cases = {
        {"fresh user",
         {},
         {{"showInDock", true},
          {"launchAtLogin", true},
          {"checkForUpdatesAutomatically", true},
          {"alwaysOnTop", false},
          {"hasEverLaunched", true}},
         true},
        {"launched before: choices stay",
         {{"hasEverLaunched", true},
          {"showInDock", false},
          {"launchAtLogin", false},
          {"alwaysOnTop", true},
          {"checkForUpdatesAutomatically", false},
          {"showFloatingBar", false}},
         {{"showInDock", false},
          {"launchAtLogin", false},
          {"alwaysOnTop", true},
          {"checkForUpdatesAutomatically", false}},
         false},
        {"launched before, a key missing: only it is written",
         {{"hasEverLaunched", true}, {"showInDock", false}},
         {{"showInDock", false}, {"launchAtLogin", true}, {"checkForUpdatesAutomatically", true}},
         true},
        {"first-launch flag removed: the first-launch state is forced again",
         {{"showInDock", false}, {"alwaysOnTop", true}},
         {{"showInDock", true}, {"alwaysOnTop", false}, {"hasEverLaunched", true}},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        defaults().resetForTesting();
        store(c.before);
        SettingsManager::registerDefaults();
        for (const auto& [key, value] : c.expected) {
            EXPECT_TRUE(defaults().contains(key)) << key.toStdString();
            EXPECT_EQ(defaults().boolean(key), value.toBool()) << key.toStdString();
        }
        // The floating bar is on by default and never forced on over the user's choice.
        EXPECT_EQ(defaults().boolean(QStringLiteral("showFloatingBar")), c.showFloatingBar);
    }
}

TEST(SettingsStoreTest, ResetRestoresAppliesAndAnnounces) {
    store({{"hasEverLaunched", true},
           {"showInDock", false},
           {"launchAtLogin", false},
           {"alwaysOnTop", true},
           {"checkForUpdatesAutomatically", false},
           {"hasCompletedOnboarding", true}});
    fakePlatform().fakeActivationPolicy().current = ActivationPolicy::Policy::Accessory;
    FakeUpdateChecks updates;
    QStringList posted;
    QObject context;
    for (const QString& name : {Notifications::LanguageChanged, Notifications::SettingsReset,
                                Notifications::DockIconVisibilityChanged})
        NotificationCenter::shared().addObserver(name, &context,
                                                 [&posted, name](const QVariantMap&) { posted << name; });

    SettingsManager::shared().resetAllSettings();

    EXPECT_EQ(defaults().string(QStringLiteral("interfaceLanguage")), QStringLiteral("en"));
    for (const char* key : {"showInDock", "launchAtLogin", "checkForUpdatesAutomatically"})
        EXPECT_TRUE(defaults().boolean(QString::fromLatin1(key))) << key;
    EXPECT_FALSE(defaults().boolean(QStringLiteral("alwaysOnTop")));
    EXPECT_TRUE(defaults().boolean(QStringLiteral("hasEverLaunched")));
    EXPECT_TRUE(defaults().boolean(QStringLiteral("hasCompletedOnboarding")));
    EXPECT_TRUE(fakePlatform().fakeLoginItem().enabled);
    EXPECT_TRUE(updates.automatic);
    EXPECT_EQ(posted, (QStringList{Notifications::LanguageChanged, Notifications::SettingsReset}));
    // The taskbar change follows on a later turn.
    EXPECT_EQ(fakePlatform().fakeActivationPolicy().current, ActivationPolicy::Policy::Accessory);
    EXPECT_TRUE(waitUntil(
        [] { return fakePlatform().fakeActivationPolicy().current == ActivationPolicy::Policy::Regular; }));
    EXPECT_EQ(posted.count(Notifications::DockIconVisibilityChanged), 1);
}

TEST(SettingsStoreTest, VerifyReappliesTheStoredValueWhereTheSystemDiffers) {
    store({{"hasEverLaunched", true}, {"showInDock", false}, {"launchAtLogin", true}});
    FakePlatform& fake = fakePlatform();
    fake.fakeActivationPolicy().current = ActivationPolicy::Policy::Regular;
    fake.fakeLoginItem().enabled = false;

    SettingsManager::shared().verifySettings();
    EXPECT_TRUE(waitUntil(
        [&] { return fake.fakeActivationPolicy().current == ActivationPolicy::Policy::Accessory; }));
    runQueuedWork();
    EXPECT_TRUE(fake.fakeLoginItem().enabled);
    EXPECT_EQ(fake.fakeActivationPolicy().activations, 1);
}

TEST(SettingsStoreTest, LaunchAtLoginKeepsTheChoiceAndReportsAndRetriesAFailure) {
    FakeLoginItem& item = fakePlatform().fakeLoginItem();
    defaults().set(QStringLiteral("launchAtLogin"), true);
    item.enabled = false;
    // Creation puts the system in step with the stored setting.
    LaunchAtLoginManager manager;
    EXPECT_TRUE(item.enabled);

    QSignalSpy failures(&manager, &LaunchAtLoginManager::launchAtLoginFailed);
    item.succeeds = false;
    EXPECT_FALSE(manager.setLaunchAtLogin(false));
    EXPECT_FALSE(defaults().boolean(QStringLiteral("launchAtLogin"))) << "the user's choice is kept";
    ASSERT_EQ(failures.size(), 1);
    EXPECT_FALSE(failures.first().at(0).toBool());
    item.succeeds = true;
    LaunchAtLoginManager nextStart;
    EXPECT_FALSE(item.enabled) << "the next start removes the entry";

    item.succeeds = false;
    EXPECT_FALSE(manager.setLaunchAtLogin(true));
    EXPECT_TRUE(defaults().boolean(QStringLiteral("launchAtLogin")));
    EXPECT_EQ(failures.size(), 2);
    {
        // A start that fails again says so where it can: no window is open yet.
        WarningCapture warnings;
        LaunchAtLoginManager failingStart;
        EXPECT_TRUE(warnings.lines.join('\n').contains(LaunchAtLoginManager::failureMessage(true)));
    }
    EXPECT_TRUE(defaults().boolean(QStringLiteral("launchAtLogin")));
    item.succeeds = true;
    LaunchAtLoginManager laterStart;
    EXPECT_TRUE(item.enabled);
    EXPECT_TRUE(manager.setLaunchAtLogin(true));
    EXPECT_EQ(failures.size(), 2);

    // Settings that could not be be read (here no file at all) hold defaults, no choice of the user's:
    // no start acts on them.
    const QString settings = defaults().filePath();
    QTemporaryDir home;
    ASSERT_TRUE(QDir().mkpath(home.filePath(QStringLiteral("Quillora/Quillora.conf"))));
    UserDefaults::setStandardFilePath(home.filePath(QStringLiteral("Quillora/Quillora.conf")));
    item.enabled = false;
    SettingsManager::registerDefaults();
    EXPECT_TRUE(defaults().boolean(QStringLiteral("launchAtLogin"))) << "the default answers";
    LaunchAtLoginManager unreadStart;
    EXPECT_TRUE(unreadStart.applyStoredSetting());
    SettingsManager::shared().applyInitialSettings();
    runQueuedWork();
    EXPECT_FALSE(item.enabled);
    UserDefaults::setStandardFilePath(settings);
}

TEST(SettingsStoreTest, DockIconChangeIsStoredNowAndAppliedOnALaterTurn) {
    FakeActivationPolicy& policy = fakePlatform().fakeActivationPolicy();
    policy.current = ActivationPolicy::Policy::Regular;
    QList<QVariant> values;
    QObject context;
    NotificationCenter::shared().addObserver(
        Notifications::DockIconVisibilityChanged, &context,
        [&values](const QVariantMap& info) { values << info.value("value"); });

    DockIconManager::updateShowInDock(false);
    EXPECT_FALSE(defaults().boolean(QStringLiteral("showInDock")));
    EXPECT_TRUE(defaults().contains(QStringLiteral("showInDock")));
    EXPECT_EQ(policy.current, ActivationPolicy::Policy::Regular);
    EXPECT_TRUE(waitUntil([&] { return policy.current == ActivationPolicy::Policy::Accessory; }));
    runQueuedWork();
    EXPECT_EQ(values, QList<QVariant>{false});
    EXPECT_EQ(policy.activations, 1);
}

TEST(SettingsStoreTest, AutostartEntryIsWrittenRemovedAndItsFailuresReported) {
    const QString entry = X11LoginItem::entryPath();
    ASSERT_TRUE(entry.startsWith(qEnvironmentVariable("XDG_CONFIG_HOME"))) << "tests never touch the user's";
    QFile::remove(entry);
    const QString program = QStringLiteral("/opt/Quillora Test/bin/quillora");
    X11LoginItem item(program);
    EXPECT_FALSE(item.isEnabled());

    ASSERT_TRUE(item.setEnabled(true));
    EXPECT_TRUE(item.isEnabled());
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    file.close();
    EXPECT_TRUE(text.startsWith(QLatin1String("[Desktop Entry]\n")));
    EXPECT_TRUE(text.contains(QLatin1String("\nExec=\"/opt/Quillora Test/bin/quillora\"\n")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QLatin1String("\nName=Quillora\n")));

    // An entry that is already right is not written again; one for another program is.
    const QDateTime old(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(old, QFileDevice::FileModificationTime));
    file.close();
    ASSERT_TRUE(item.setEnabled(true));
    EXPECT_EQ(QFileInfo(entry).lastModified().toSecsSinceEpoch(), old.toSecsSinceEpoch());
    X11LoginItem moved(QStringLiteral("/opt/quillora/bin/quillora"));
    ASSERT_TRUE(moved.setEnabled(true));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("\nExec=/opt/quillora/bin/quillora\n"));
    file.close();

    ASSERT_TRUE(item.setEnabled(false));
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_TRUE(item.setEnabled(false)) << "removing an absent entry is no failure";

    // An entry the user disabled counts as off.
    ASSERT_TRUE(item.setEnabled(true));
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("Hidden=true\n");
    file.close();
    EXPECT_FALSE(item.isEnabled());

    // A folder where the entry belongs can be neither replaced nor removed (this holds for root too).
    QFile::remove(entry);
    ASSERT_TRUE(QDir().mkpath(entry));
    EXPECT_FALSE(item.setEnabled(true));
    EXPECT_FALSE(item.setEnabled(false));
    QDir(entry).removeRecursively();

    // A folder of its own instead of the user's autostart folder.
    QTemporaryDir own;
    qputenv("QUILLORA_AUTOSTART_DIR", own.path().toUtf8());
    EXPECT_EQ(X11LoginItem::entryPath(), own.path() + QStringLiteral("/quillora.desktop"));
    EXPECT_TRUE(item.setEnabled(true));
    EXPECT_TRUE(item.isEnabled());
    qunsetenv("QUILLORA_AUTOSTART_DIR");
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_FALSE(item.isEnabled());
}

TEST(SettingsStoreTest, ExecArgumentsAreQuotedAsDesktopEntriesRequire) {
    const QList<QPair<QString, QString>> cases = {
        {"/usr/bin/quillora", "/usr/bin/quillora"},
        {"/home/a b/quillora", "\"/home/a b/quillora\""},
        {"/tmp/100%/quillora", "/tmp/100%%/quillora"},
        {"/tmp/$x/quillora", "\"/tmp/\\\\$x/quillora\""},
        {"/tmp/a\"b/quillora", "\"/tmp/a\\\\\"b/quillora\""},
        {"/tmp/back\\slash", "\"/tmp/back\\\\\\\\slash\""},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(X11LoginItem::execArgument(path), expected) << path.toStdString();
}

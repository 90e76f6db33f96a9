// The start-up sequence's permission gate with a scripted platform: both permissions, one missing, the
// onboarding window's completion and closing, the once-guard of the full setup, and the windows that
// survive a forced onboarding.
#include "FakePlatform.h"
#include "TestUtils.h"
#include "app/AppDelegate.h"
#include "app/UpdateManager.h"
#include "floatingbar/FloatingBarManager.h"
#include "floatingbar/FloatingBarWindowController.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/UserDefaults.h"
#include "selection/SelectionMonitor.h"
#include "settings/OnboardingView.h"
#include "settings/SettingsManager.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

namespace {

UserDefaults& defaults() {
    return UserDefaults::standard();
}

class PermissionGateTest : public ::testing::Test {
protected:
    void SetUp() override {
        SettingsManager::registerDefaults();
        NotificationCenter::shared().addObserver(
            Notifications::FloatingBarVisibilityChanged, &m_context,
            [this](const QVariantMap& info) { m_visibilityPosts << info.value(QStringLiteral("value")); });
        SelectionMonitor::shared().onSelectionChanged = nullptr;
    }
    void TearDown() override {
        m_delegate.reset();
        for (QWidget* window : QApplication::topLevelWidgets())
            window->close();
        runQueuedWork();
    }

    void setPermissions(bool trusted, bool screen) {
        fakePlatform().fakeAccessibility().trusted = trusted;
        fakePlatform().fakeScreenCapture().permissionGranted = screen;
    }
    void launch() {
        m_delegate = std::make_unique<AppDelegate>();
        m_delegate->applicationDidFinishLaunching();
    }
    // Runs the queued steps of the sequence until `condition` holds.
    static bool settle(const std::function<bool()>& condition) { return waitUntil(condition); }
    // For checks that something did not happen: every step queued so far has run, the stray-window
    // cleanup (the longest delay of the sequence) included.
    static void settleQuietly() { runQueuedWork(100); }
    bool setupCompleted() const { return m_delegate->isFullApplicationSetupCompleted(); }
    // The onboarding window, shown (not the one a step just closed).
    bool onboardingShown(const QWidget* previous = nullptr) const {
        return onboarding() && onboarding() != previous && onboarding()->isVisible();
    }

    QWidget* onboarding() const { return m_delegate->onboardingWindow(); }
    bool stored(const char* key) const { return defaults().boolean(QString::fromLatin1(key)); }

    QObject m_context;
    QList<QVariant> m_visibilityPosts;
    std::unique_ptr<AppDelegate> m_delegate;
};

const QVariantMap kCompletedPayload = {{QStringLiteral("hasCompletedOnboarding"), true},
                                       {QStringLiteral("hasAccessibilityPermission"), true},
                                       {QStringLiteral("hasScreenCapturePermission"), true}};

} // namespace

TEST_F(PermissionGateTest, BothPermissionsRunTheFullSetupWithoutOnboarding) {
    setPermissions(true, true);
    defaults().set(QStringLiteral("showFloatingBar"), false);
    launch();
    ASSERT_TRUE(settle([&] { return setupCompleted(); }));
    settleQuietly();

    EXPECT_EQ(onboarding(), nullptr);
    // Update checks run from the start, whether or not the settings are ever opened.
    EXPECT_TRUE(UpdateManager::shared().automaticallyChecksForUpdates());
    EXPECT_TRUE(UpdateManager::shared().updaterController().updater().nextScheduledCheck());
    // The settings drive these same checks.
    EXPECT_EQ(UpdateChecks::installed(), &UpdateManager::shared());
    EXPECT_TRUE(stored("hasCompletedOnboarding"));
    EXPECT_TRUE(stored("hasAccessibilityPermission"));
    EXPECT_TRUE(stored("hasScreenCapturePermission"));
    EXPECT_TRUE(m_delegate->isFullApplicationSetupCompleted());
    // The full setup switches the floating bar on, also for a user who had switched it off.
    EXPECT_TRUE(stored("showFloatingBar"));
    EXPECT_EQ(m_visibilityPosts, QList<QVariant>{true});

    // The selection callback shows the bar for text, and nothing for an empty selection.
    ASSERT_TRUE(SelectionMonitor::shared().onSelectionChanged);
    SelectionMonitor::shared().onSelectionChanged(QString(), QRect(100, 100, 1, 1), QStringLiteral("en"),
                                                  false);
    EXPECT_EQ(FloatingBarManager::shared().floatingBar(), nullptr);
    SelectionMonitor::shared().onSelectionChanged(QStringLiteral("hello"), QRect(100, 100, 1, 1),
                                                  QStringLiteral("en"), false);
    ASSERT_NE(FloatingBarManager::shared().floatingBar(), nullptr);
    EXPECT_EQ(FloatingBarManager::shared().floatingBar()->selectedText(), QStringLiteral("hello"));
    FloatingBarManager::shared().floatingBar()->hideWindow();

    // The next start finds every setting as it leaves it, the autostart entry included, and writes none.
    m_delegate.reset();
    QStringList written;
    QObject::connect(&defaults(), &UserDefaults::changed, &m_context,
                     [&written](const QString& key) { written << key; });
    launch();
    ASSERT_TRUE(settle([&] { return setupCompleted(); }));
    settleQuietly();
    EXPECT_EQ(written, QStringList());
}

TEST_F(PermissionGateTest, AMissingPermissionShowsTheOnboardingWindowAndWaits) {
    for (const auto& [trusted, screen] : {std::pair{false, true}, std::pair{true, false}}) {
        SCOPED_TRACE(trusted ? "screen capture missing" : "accessibility missing");
        defaults().set(QStringLiteral("hasCompletedOnboarding"), true);
        setPermissions(trusted, screen);
        launch();
        EXPECT_FALSE(stored("hasCompletedOnboarding"));
        EXPECT_EQ(onboarding(), nullptr) << "shown on the next turn";
        ASSERT_TRUE(settle([&] { return onboardingShown(); }));
        EXPECT_EQ(onboarding()->windowTitle(), QStringLiteral("Welcome to Quillora"));
        EXPECT_EQ(onboarding()->size(), QSize(650, 650));
        EXPECT_NE(onboarding()->findChild<OnboardingView*>(), nullptr);
        EXPECT_FALSE(m_delegate->isFullApplicationSetupCompleted());
        EXPECT_TRUE(m_visibilityPosts.isEmpty());

        // Closing it before the permissions are there starts nothing; asking shows it again.
        onboarding()->close();
        settleQuietly();
        EXPECT_EQ(onboarding(), nullptr);
        EXPECT_FALSE(m_delegate->isFullApplicationSetupCompleted());
        NotificationCenter::shared().post(Notifications::ShowOnboardingWindow);
        ASSERT_NE(onboarding(), nullptr);
        m_delegate.reset();
    }
}

TEST_F(PermissionGateTest, OnboardingCompletionFollowsTheLivePermissions) {
    struct Case {
        const char* name;
        QVariantMap payload;
        bool grantedAtCompletion;
        bool expectSetup;
        int expectScreenRequests;
    };
    const QList<Case> cases = {
        {"granted, full payload", kCompletedPayload, true, true, 0},
        {"granted, no payload", {}, true, true, 0},
        {"granted, payload of the wrong types",
         {{QStringLiteral("hasCompletedOnboarding"), QStringLiteral("yes")}},
         true,
         true,
         0},
        {"screen capture reported but missing", kCompletedPayload, false, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        defaults().resetForTesting();
        SettingsManager::registerDefaults();
        defaults().remove(QStringLiteral("hasEverLaunched"));
        m_visibilityPosts.clear();
        fakePlatform().fakeScreenCapture().permissionRequests = 0;
        setPermissions(false, false);
        launch();
        ASSERT_TRUE(settle([&] { return onboardingShown(); }));

        setPermissions(true, c.grantedAtCompletion);
        const QPointer<QWidget> first = onboarding();
        NotificationCenter::shared().post(Notifications::OnboardingCompleted, c.payload);
        EXPECT_EQ(fakePlatform().fakeScreenCapture().permissionRequests, c.expectScreenRequests);
        if (c.expectSetup)
            ASSERT_TRUE(settle([&] { return setupCompleted(); }));
        else
            ASSERT_TRUE(settle([&] { return (!first || !first->isVisible()) && onboardingShown(first); }));
        settleQuietly();
        EXPECT_EQ(m_delegate->isFullApplicationSetupCompleted(), c.expectSetup);
        EXPECT_EQ(m_visibilityPosts.size(), c.expectSetup ? 1 : 0) << "one setup, one announcement";
        if (c.expectSetup) {
            EXPECT_EQ(onboarding(), nullptr);
            EXPECT_TRUE(stored("hasCompletedOnboarding"));
            EXPECT_TRUE(stored("hasEverLaunched"));
        } else {
            ASSERT_TRUE(onboardingShown()) << "shown again";
            EXPECT_FALSE(stored("hasCompletedOnboarding"));
        }
        m_delegate.reset();
    }
}

TEST_F(PermissionGateTest, ClosingTheOnboardingWindowAfterTheGrantStartsTheSetupOnce) {
    setPermissions(false, true);
    launch();
    ASSERT_TRUE(settle([&] { return onboardingShown(); }));

    setPermissions(true, true);
    defaults().set(QStringLiteral("hasCompletedOnboarding"), true);
    // The close and a second trigger in the same turn: the setup runs once.
    onboarding()->close();
    m_delegate->startFullApplicationSetup();
    ASSERT_TRUE(settle([&] { return setupCompleted(); }));
    settleQuietly();
    EXPECT_EQ(m_visibilityPosts.size(), 1);
    m_delegate->startFullApplicationSetup();
    settleQuietly();
    EXPECT_EQ(m_visibilityPosts.size(), 1);
}

TEST_F(PermissionGateTest, ForcedOnboardingKeepsTheSettingsWindowByIdentity) {
    setPermissions(true, true);
    launch();
    ASSERT_TRUE(settle([&] { return setupCompleted(); }));
    settleQuietly();
    QWidget settings;
    settings.setWindowTitle(QStringLiteral("Ayarlar"));
    QWidget impostor;
    impostor.setWindowTitle(QStringLiteral("Settings"));
    QWidget other;
    other.setWindowTitle(QStringLiteral("Something else"));
    for (QWidget* window : {&settings, &impostor, &other})
        window->show();
    m_delegate->setSettingsWindowProvider([&settings] { return &settings; });

    setPermissions(false, true);
    m_delegate->forceShowOnboarding();
    ASSERT_TRUE(settle([&] { return onboardingShown(); }));
    EXPECT_TRUE(settings.isVisible());
    EXPECT_FALSE(impostor.isVisible());
    EXPECT_FALSE(other.isVisible());
    EXPECT_FALSE(stored("hasCompletedOnboarding"));
    EXPECT_FALSE(stored("hasAccessibilityPermission"));
}

TEST_F(PermissionGateTest, TaskbarPresenceFollowsTheStoredSettingAndItsNotification) {
    setPermissions(true, true);
    defaults().set(QStringLiteral("hasEverLaunched"), true);
    defaults().set(QStringLiteral("showInDock"), false);
    defaults().set(QStringLiteral("checkForUpdatesAutomatically"), false);
    FakeActivationPolicy& policy = fakePlatform().fakeActivationPolicy();
    policy.current = ActivationPolicy::Policy::Regular;
    launch();
    EXPECT_TRUE(settle([&] { return policy.current == ActivationPolicy::Policy::Accessory; }));
    EXPECT_FALSE(UpdateManager::shared().automaticallyChecksForUpdates());

    NotificationCenter::shared().post(Notifications::DockIconVisibilityChanged,
                                      {{QStringLiteral("value"), true}});
    EXPECT_TRUE(settle([&] { return policy.current == ActivationPolicy::Policy::Regular; }));
    // Without a value the stored setting decides.
    NotificationCenter::shared().post(Notifications::DockIconVisibilityChanged);
    EXPECT_TRUE(settle([&] { return policy.current == ActivationPolicy::Policy::Accessory; }));

    // After termination only the block observer is gone: the other still follows.
    m_delegate->applicationWillTerminate();
    EXPECT_EQ(NotificationCenter::shared().observerCount(Notifications::DockIconVisibilityChanged), 1);
}

TEST_F(PermissionGateTest, StrayWindowsAreClosedShortlyAfterStart) {
    setPermissions(true, true);
    const QStringList titles = {QString(), QStringLiteral("Settings"), QStringLiteral("settings"),
                                QStringLiteral("Settings "), QStringLiteral("Ayarlar")};
    std::vector<std::unique_ptr<QWidget>> windows;
    for (const QString& title : titles) {
        windows.push_back(std::make_unique<QWidget>());
        windows.back()->setWindowTitle(title);
        windows.back()->show();
    }
    // A bar or popover is not a stray window, whatever its title.
    QWidget tool(nullptr, Qt::Tool);
    tool.show();
    launch();
    // The untitled window and "Settings" are closed together, on one turn.
    EXPECT_TRUE(settle([&] { return !windows[0]->isVisible() && !windows[1]->isVisible(); }));
    const QList<bool> open = {false, false, true, true, true};
    for (int i = 0; i < titles.size(); ++i)
        EXPECT_EQ(windows[size_t(i)]->isVisible(), open[i]) << '"' << titles[i].toStdString() << '"';
    EXPECT_TRUE(tool.isVisible());
}

// The onboarding view: cards and start button follow the permissions, the start button's notification,
// the requests (which post no copy key), and a grant picked up when the window is active again.
#include "settings/OnboardingView.h"

#include "FakePlatform.h"
#include "TestUtils.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/UserDefaults.h"
#include "settings/FilledButton.h"
#include "settings/PermissionCard.h"

#include <QApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace {

void setPermissions(bool trusted, bool screen) {
    fakePlatform().fakeAccessibility().trusted = trusted;
    fakePlatform().fakeScreenCapture().permissionGranted = screen;
}

bool stored(const char* key) {
    return UserDefaults::standard().boolean(QString::fromLatin1(key));
}

} // namespace

TEST(OnboardingViewTest, CardsAndStartButtonFollowThePermissions) {
    for (const auto& [trusted, screen] :
         {std::pair{true, true}, {false, true}, {true, false}, {false, false}}) {
        SCOPED_TRACE(testing::Message() << "accessibility " << trusted << ", screen " << screen);
        setPermissions(trusted, screen);
        OnboardingView view;
        view.show();
        EXPECT_EQ(view.size(), QSize(650, 650));
        EXPECT_EQ(view.accessibilityCard()->isGranted(), trusted);
        EXPECT_EQ(view.screenCaptureCard()->isGranted(), screen);
        EXPECT_EQ(view.accessibilityCard()->allowButton()->isVisibleTo(&view), !trusted);
        EXPECT_EQ(view.accessibilityCard()->grantedLine()->isVisibleTo(&view), trusted);
        EXPECT_EQ(view.startButton()->isEnabled(), trusted && screen);
        EXPECT_EQ(stored("hasAccessibilityPermission"), trusted);
        EXPECT_EQ(stored("hasScreenCapturePermission"), screen);
    }
}

TEST(OnboardingViewTest, StartPostsCompletionOnceAndWelcomesHalfASecondLater) {
    setPermissions(true, true);
    OnboardingView view;
    int welcomes = 0;
    view.onWelcome = [&welcomes] { ++welcomes; };
    view.show();
    QList<QVariantMap> posts;
    QObject context;
    NotificationCenter::shared().addObserver(Notifications::OnboardingCompleted, &context,
                                             [&posts](const QVariantMap& info) { posts << info; });

    QElapsedTimer clock;
    clock.start();
    view.startButton()->click();
    view.startButton()->click();
    view.completeOnboarding();
    ASSERT_EQ(posts.size(), 1);
    EXPECT_EQ(posts.first(), (QVariantMap{{QStringLiteral("hasCompletedOnboarding"), true},
                                          {QStringLiteral("hasAccessibilityPermission"), true},
                                          {QStringLiteral("hasScreenCapturePermission"), true}}));
    EXPECT_TRUE(stored("hasCompletedOnboarding"));
    EXPECT_TRUE(view.isCompleting());
    EXPECT_FALSE(view.startButton()->isEnabled());
    EXPECT_EQ(welcomes, 0);
    // Half a second later (a coarse timer may fire 5 % early), once.
    ASSERT_TRUE(waitUntil([&] { return welcomes > 0; }, 10000));
    EXPECT_GE(clock.elapsed(), 475);
    runQueuedWork(500);
    EXPECT_EQ(welcomes, 1);
}

TEST(OnboardingViewTest, RequestsExplainAndNeverPostACopyKey) {
    setPermissions(false, false);
    // In a window of its own, as the onboarding window holds it: the explanations go over that window and
    // with it.
    QWidget window;
    OnboardingView view(&window);
    window.show();
    FakePlatform& fake = fakePlatform();

    view.accessibilityCard()->allowButton()->click();
    EXPECT_EQ(fake.fakeAccessibility().requestCount, 1);
    EXPECT_EQ(fake.fakeAccessibility().requestedOver, &window);
    view.screenCaptureCard()->allowButton()->click();
    EXPECT_EQ(fake.fakeScreenCapture().permissionRequests, 1);
    EXPECT_EQ(fake.fakeScreenCapture().requestedOver, &window);
    // Posting the copy key 0.5 s later would overwrite the clipboard of whatever has the focus.
    runQueuedWork(500);
    EXPECT_TRUE(fake.fakeKeyPoster().posted.isEmpty());

    // Granted since the last read: no request, the card turns at once.
    fake.fakeScreenCapture().permissionGranted = true;
    view.requestScreenCapturePermission();
    EXPECT_EQ(fake.fakeScreenCapture().permissionRequests, 1);
    EXPECT_TRUE(view.screenCaptureCard()->isGranted());
    EXPECT_TRUE(stored("hasScreenCapturePermission"));

    // Back in the window after the explanation: the permissions are read again, without polling.
    fake.fakeAccessibility().trusted = true;
    EXPECT_FALSE(view.accessibilityCard()->isGranted());
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(view.window(), &activate);
    EXPECT_TRUE(view.accessibilityCard()->isGranted());
    EXPECT_TRUE(view.startButton()->isEnabled());
}

TEST(OnboardingViewTest, AllowButtonNamesTheTitlesFirstWord) {
    EXPECT_EQ(PermissionCard::allowButtonText(QStringLiteral("Permission for OCR")),
              QStringLiteral("Allow Permission"));
    EXPECT_EQ(PermissionCard::allowButtonText(QStringLiteral("Microphone")),
              QStringLiteral("Allow Microphone"));
    EXPECT_EQ(PermissionCard::allowButtonText(QString()), QStringLiteral("Allow "));
}

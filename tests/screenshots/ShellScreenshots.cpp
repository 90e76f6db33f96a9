// Screenshots of the onboarding window (both permissions present, one missing) and the about panel, in
// light and dark appearance. The permissions come from the fake platform, the only way to see a missing
// one on an X11 display. Runs only when QUILLORA_SCREENSHOT_DIR names where to save them;
// tests/screenshots/take.sh shell does that under Xvfb.
#include "DevApiServer.h"
#include "FakePlatform.h"
#include "ScreenshotTest.h"
#include "TestUtils.h"
#include "app/AboutPanel.h"
#include "app/AppDelegate.h"
#include "app/UpdateManager.h"
#include "platform/UserDefaults.h"
#include "settings/OnboardingView.h"
#include "shortcuts/SelectionReplacer.h"
#include "ui/GlobalToastManager.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QProgressDialog>
#include <QScreen>
#include <gtest/gtest.h>

namespace {

class ShellScreenshots : public ScreenshotTest {
protected:
    // Saves the window with its frame.
    // `timeoutMs` short for a window that is still moving.
    void shoot(const QString& name, QWidget* window, int timeoutMs = 5000) {
        ScreenshotTest::shoot(name, window->frameGeometry(), 12, timeoutMs);
    }
};

} // namespace

TEST_F(ShellScreenshots, OnboardingWindow) {
    for (bool dark : {false, true}) {
        setDark(dark);
        ASSERT_EQ(Theme::dark(), dark);
        const QString mode = dark ? QStringLiteral("dark") : QStringLiteral("light");
        for (bool accessibility : {true, false}) {
            fakePlatform().fakeAccessibility().trusted = accessibility;
            fakePlatform().fakeScreenCapture().permissionGranted = true;
            AppDelegate delegate;
            delegate.showOnboardingWindow();
            QWidget* window = delegate.onboardingWindow();
            ASSERT_NE(window, nullptr);
            ASSERT_TRUE(waitUntil([&] { return window->isVisible(); }));
            // The introduction as it runs, then its end state.
            if (accessibility && !dark)
                shoot(QStringLiteral("onboarding-intro-") + mode, window, 100);
            window->findChild<OnboardingView*>()->finishIntroAnimation();
            shoot(QStringLiteral("onboarding-") +
                      (accessibility ? QStringLiteral("granted-") : QStringLiteral("missing-")) + mode,
                  window);
        }
    }
}

TEST_F(ShellScreenshots, AboutPanel) {
    for (bool dark : {false, true}) {
        setDark(dark);
        AboutPanel panel;
        panel.show();
        ASSERT_TRUE(waitUntil([&] { return panel.isVisible(); }));
        shoot(QStringLiteral("about-") + (dark ? QStringLiteral("dark") : QStringLiteral("light")), &panel);
    }
}

// The update dialogs (a check running, a newer release, up to date) and a global toast.
TEST_F(ShellScreenshots, UpdateDialogsAndToast) {
    DevApiServer api;
    ASSERT_TRUE(api.start());
    UserDefaults::standard().set(QStringLiteral("websiteBaseURL"), api.baseUrl());
    for (bool dark : {false, true}) {
        setDark(dark);
        const QString mode = dark ? QStringLiteral("dark") : QStringLiteral("light");
        {
            ASSERT_TRUE(api.hangAppcast());
            UpdateManager manager(QStringLiteral("1.0.0"));
            manager.checkForUpdates();
            QProgressDialog* progress = manager.updaterController().progress();
            ASSERT_NE(progress, nullptr);
            // Shown at once, framed by the window manager a little later.
            ASSERT_TRUE(waitUntil([&] { return progress->frameGeometry() != progress->geometry(); }));
            shoot(QStringLiteral("update-checking-") + mode, progress);
        }
        for (const auto& [version, name] : {std::pair{"1.0.10", "update-found-"}, {"1.0.0", "update-none-"}}) {
            ASSERT_TRUE(api.setAppcastVersion(QString::fromLatin1(version)));
            UpdateManager manager(QStringLiteral("1.0.0"));
            manager.checkForUpdates();
            ASSERT_TRUE(waitUntil([&] { return manager.updaterController().alert() != nullptr; }, 10000));
            QMessageBox* alert = manager.updaterController().alert();
            ASSERT_TRUE(waitUntil([&] { return alert->isVisible(); }));
            shoot(QString::fromLatin1(name) + mode, alert);
            delete alert;
        }
        GlobalToastManager::shared().show(SelectionReplacer::pasteRefusedMessage, QStringLiteral("doc.on.clipboard"),
                                          3);
        ASSERT_TRUE(waitUntil([] { return GlobalToastManager::shared().panel() != nullptr; }));
        shoot(QStringLiteral("toast-") + mode, GlobalToastManager::shared().panel());
        delete GlobalToastManager::shared().panel();
    }
    UserDefaults::standard().remove(QStringLiteral("websiteBaseURL"));
}

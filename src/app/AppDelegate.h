#pragma once

#include "platform/NotificationCenter.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <optional>

class QWidget;

// The composition root. applicationDidFinishLaunching() runs the start-up sequence: the basic services
// that need no permission (settings, launch at login, device information, tray, settings window,
// translation listener, taskbar presence, update checks), the observers, and then the permission gate,
// which either shows the onboarding window or runs the full setup (floating bar and selection monitor).
//
// Where the other subsystems join in:
//   - startBasicServices(): the tray (MenuBarManager), the settings-window manager and the update checks;
//   - handleReopen(): a second launch (the single-instance hand-over) opens the tray popover;
//   - showWelcome(): 0.5 s after the onboarding's start button, the popover and the welcome toast;
//   - startFullApplicationFeatures(): the floating bar, OCR and shortcut managers and the selection callback;
//   - setSettingsWindowProvider(): the settings window, which forceShowOnboarding() leaves open.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    explicit AppDelegate(QObject* parent = nullptr);
    ~AppDelegate() override;

    // The start-up sequence; runs once, when the event loop has started.
    void applicationDidFinishLaunching();
    // Removes the taskbar-visibility observer; everything else is saved at each change.
    void applicationWillTerminate();
    // The running application was launched again (the single-instance hand-over).
    void handleReopen();

    void startBasicServices();
    void setupVisibilityObservers();
    void setupNotificationObservers();
    void scheduleDockIconVisibility(bool show);
    void updateDockIconVisibility(bool show);
    void startTranslationListening();
    void scheduleStrayWindowCleanup();
    // Closes visible regular windows whose title is empty or exactly "Settings".
    void closeStrayWindows();
    // The application's own regular windows: the ones a user sees as windows (not bars, popovers, menus
    // or the tray icon).
    static QList<QWidget*> regularWindows();
    static bool isRegularWindow(const QWidget* widget);

    // The onboarding window and the permission gate.
    void showOnboardingWindow();
    void cleanupAllOnboardingWindows();
    void forceShowOnboarding();
    void handleOnboardingCompleted(const QVariantMap& userInfo);
    void startFullApplicationSetup();
    void checkPermissions();
    void verifyScreenCapturePermission();
    void recheckPermissionsAndStart();
    void setupFloatingBarAndSelection();
    void handleSelectionChanged(const QString& text, const QRect& frame, const QString& language,
                                bool isEditable);
    void showWelcome();

    QWidget* onboardingWindow() const { return m_onboardingWindow; }
    bool isFullApplicationSetupCompleted() const { return m_isFullApplicationSetupCompleted; }
    // The window forceShowOnboarding() keeps open besides the about panel; none by default.
    void setSettingsWindowProvider(std::function<QWidget*()> provider) {
        m_settingsWindow = std::move(provider);
    }
    // Windows forceShowOnboarding() keeps open (the about panel registers itself).
    void setAboutPanelProvider(std::function<QWidget*()> provider) { m_aboutPanel = std::move(provider); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyLaunchGate(bool completed, bool trusted, bool screen);
    void showOnboardingAfterGate();
    void continueOnboardingCompletion();
    void onboardingWindowWillClose(QWidget* window);
    void startFullApplicationFeatures();
    void closeOnboardingWindow();
    static bool isAccessibilityTrusted();
    static bool isScreenCaptureAllowed();

    QPointer<QWidget> m_onboardingWindow;
    bool m_isFullApplicationSetupCompleted = false;
    // Set when the full setup is entered, so a second trigger in the same turn does nothing.
    bool m_fullSetupStarted = false;
    std::optional<NotificationCenter::Token> m_dockIconObserver;
    std::function<QWidget*()> m_settingsWindow;
    std::function<QWidget*()> m_aboutPanel;
};

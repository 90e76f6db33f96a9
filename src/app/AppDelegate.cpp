#include "app/AppDelegate.h"

#include "app/QuilloraApp.h"
#include "app/UpdateManager.h"
#include "floatingbar/FloatingBarManager.h"
#include "floatingbar/FloatingBarWindowController.h"
#include "menubar/MenuBarManager.h"
#include "menubar/OCRManager.h"
#include "platform/AccessibilityPermission.h"
#include "platform/ActivationPolicy.h"
#include "platform/DebugLog.h"
#include "platform/MainQueue.h"
#include "platform/Notifications.h"
#include "platform/Platform.h"
#include "platform/ScreenCapture.h"
#include "platform/UserDefaults.h"
#include "platform/WindowSystem.h"
#include "selection/AccessibilityService.h"
#include "selection/SelectionMonitor.h"
#include "services/TranslationManager.h"
#include "settings/LaunchAtLoginManager.h"
#include "settings/OnboardingView.h"
#include "settings/SettingsManager.h"
#include "settings/SettingsView.h"
#include "settings/SettingsWindowManager.h"
#include "settings/ShortcutsTabView.h"
#include "shortcuts/KeyboardShortcutManager.h"
#include "ui/GlobalToastManager.h"
#include "ui/ScreenFit.h"
#include "ui/StateReport.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWidget>

namespace {

const QString kTag = QStringLiteral("AppDelegate");
const QString kOnboardingTitle = QStringLiteral("Welcome to Quillora");

UserDefaults& defaults() {
    return UserDefaults::standard();
}

bool stored(const char* key) {
    return defaults().boolean(QString::fromLatin1(key));
}

void store(const char* key, bool value) {
    const QString name = QString::fromLatin1(key);
    // Every start confirms the same flags; a write that changes nothing would rewrite the settings file.
    if (defaults().contains(name) && defaults().boolean(name) == value)
        return;
    defaults().set(name, value);
}

} // namespace

AppDelegate::AppDelegate(QObject* parent)
    : QObject(parent) {}

AppDelegate::~AppDelegate() {
    applicationWillTerminate();
    delete m_onboardingWindow;
}

bool AppDelegate::isAccessibilityTrusted() {
    // The reader of selections exists before every trust check.
    AccessibilityService::shared();
    return platform().accessibilityPermission().isProcessTrusted();
}

bool AppDelegate::isScreenCaptureAllowed() {
    return platform().screenCapture().preflightPermission();
}

void AppDelegate::applicationDidFinishLaunching() {
    const bool completed = stored("hasCompletedOnboarding");
    startBasicServices();
    setupVisibilityObservers();
    setupNotificationObservers();
    cleanupAllOnboardingWindows();
    const bool screen = isScreenCaptureAllowed();
    const bool trusted = isAccessibilityTrusted();
    cleanupAllOnboardingWindows();
    debugLog(kTag, QStringLiteral("Launch finished: accessibility %1, screen capture %2")
                       .arg(trusted ? "✅" : "❌", screen ? "✅" : "❌"));
    applyLaunchGate(completed, trusted, screen);
    StateReport::report(StateReport::launched);
    // After the turns the gate has just queued, which store their flags too.
    MainQueue::async([] { defaults().resumeWrites(); }, this);
}

void AppDelegate::startBasicServices() {
    SettingsManager::shared();
    // The creation fixes an entry whose presence differs from the stored choice; the call after it also
    // rewrites one that names another program (moved or reinstalled), which login would fail to start.
    LaunchAtLoginManager::shared().applyStoredSetting();

    MenuBarManager& menuBar = MenuBarManager::shared();
    menuBar.setCheckForUpdatesHandler([] { UpdateManager::shared().updaterController().checkForUpdates(); });
    menuBar.setAboutHandler([] {
        if (QuilloraApp* app = QuilloraApp::current())
            app->showAboutPanel();
    });

    // Settings window: its manager starts listening for "OpenSettingsWindow" here.
    SettingsWindowManager::shared();
    SettingsView::setShortcutsTabFactory([] { return new ShortcutsTabView; });
    setSettingsWindowProvider([]() -> QWidget* { return SettingsWindowManager::shared().settingsWindow(); });

    // Changes that could not be saved stay in memory and are tried again; the user learns of it here.
    connect(&defaults(), &UserDefaults::writeFailed, this, [](const QString& message) {
        GlobalToastManager::shared().show(message, QStringLiteral("exclamationmark.triangle"));
    });

    startTranslationListening();
    scheduleDockIconVisibility(stored("showInDock"));

    // Update checks run whether or not the settings are ever opened; the settings drive them from now on.
    UpdateManager& updates = UpdateManager::shared();
    updates.setAutomaticallyChecksForUpdates(stored("checkForUpdatesAutomatically"));
    UpdateChecks::install(&updates);

    scheduleStrayWindowCleanup();
}

void AppDelegate::startTranslationListening() {
    MainQueue::async(
        [] {
            TranslationManager& manager = TranslationManager::shared();
            if (!manager.isListeningForNotifications())
                manager.startListeningForNotifications();
        },
        this);
}

void AppDelegate::scheduleDockIconVisibility(bool show) {
    QPointer<AppDelegate> self(this);
    MainQueue::async(
        [self, show] {
            if (self)
                self->updateDockIconVisibility(show);
        },
        this);
}

void AppDelegate::updateDockIconVisibility(bool show) {
    platform().activationPolicy().setPolicy(show ? ActivationPolicy::Policy::Regular
                                                 : ActivationPolicy::Policy::Accessory);
}

void AppDelegate::setupVisibilityObservers() {
    NotificationCenter& center = NotificationCenter::shared();
    QPointer<AppDelegate> self(this);
    // Two observers on purpose, and both run: the token-held one acts only on a Bool "value" and is removed
    // at termination; the one tied to the delegate falls back to the stored "showInDock" when there is none.
    m_dockIconObserver = center.addObserver(Notifications::DockIconVisibilityChanged, nullptr,
                                            [self](const QVariantMap& info) {
                                                const QVariant value = info.value(NotificationKeys::value);
                                                if (self && value.typeId() == QMetaType::Bool)
                                                    self->scheduleDockIconVisibility(value.toBool());
                                            });
    center.addObserver(Notifications::DockIconVisibilityChanged, this, [this](const QVariantMap& info) {
        const QVariant value = info.value(NotificationKeys::value);
        scheduleDockIconVisibility(value.typeId() == QMetaType::Bool ? value.toBool() : stored("showInDock"));
    });
}

void AppDelegate::setupNotificationObservers() {
    NotificationCenter& center = NotificationCenter::shared();
    center.addObserver(Notifications::ShowOnboardingWindow, this,
                       [this](const QVariantMap&) { showOnboardingWindow(); });
    center.addObserver(Notifications::OnboardingCompleted, this,
                       [this](const QVariantMap& info) { handleOnboardingCompleted(info); });
}

bool AppDelegate::isRegularWindow(const QWidget* widget) {
    if (!widget || !widget->isWindow())
        return false;
    // The tray icon embedded in an X11 tray is an untitled window too; closing it takes it off the tray.
    if (widget->inherits("QSystemTrayIconSys"))
        return false;
    const Qt::WindowType type = widget->windowType();
    return type == Qt::Window || type == Qt::Dialog;
}

QList<QWidget*> AppDelegate::regularWindows() {
    QList<QWidget*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (isRegularWindow(widget))
            windows.append(widget);
    }
    return windows;
}

void AppDelegate::scheduleStrayWindowCleanup() {
    MainQueue::asyncAfter(
        100, [this] { closeStrayWindows(); }, this);
}

void AppDelegate::closeStrayWindows() {
    for (QWidget* window : regularWindows()) {
        const QString title = window->windowTitle();
        if (window->isVisible() && (title.isEmpty() || title == QLatin1String("Settings")))
            window->close();
    }
}

void AppDelegate::handleReopen() {
    debugLog(kTag, QStringLiteral("Reopen requested"));
    MenuBarManager::shared().showPopover();
}

void AppDelegate::showWelcome() {
    MenuBarManager::shared().showPopover();
    GlobalToastManager::shared().show(QStringLiteral("Welcome to Quillora!"), QStringLiteral("hand.wave.fill"), 4.0);
}

void AppDelegate::applicationWillTerminate() {
    if (m_dockIconObserver) {
        NotificationCenter::shared().removeObserver(*m_dockIconObserver);
        m_dockIconObserver.reset();
    }
    // The floating bar's windows go while the application object still stands: text views destroyed
    // after it bring back part of its machinery (the gesture manager), which nothing frees then.
    if (QCoreApplication::instance())
        delete FloatingBarManager::shared().floatingBar();
}

// MARK: - Permission gate

void AppDelegate::applyLaunchGate(bool completed, bool trusted, bool screen) {
    if (trusted && screen) {
        if (!completed) {
            store("hasCompletedOnboarding", true);
            store("hasAccessibilityPermission", true);
            store("hasScreenCapturePermission", true);
        }
        startFullApplicationSetup();
        return;
    }
    store("hasCompletedOnboarding", false);
    QPointer<AppDelegate> self(this);
    MainQueue::async(
        [self] {
            if (self)
                self->showOnboardingAfterGate();
        },
        this);
}

void AppDelegate::showOnboardingAfterGate() {
    cleanupAllOnboardingWindows();
    showOnboardingWindow();
}

void AppDelegate::closeOnboardingWindow() {
    if (!m_onboardingWindow)
        return;
    QWidget* window = m_onboardingWindow;
    window->close();
    m_onboardingWindow = nullptr;
    window->deleteLater();
}

void AppDelegate::showOnboardingWindow() {
    closeOnboardingWindow();

    // A title and a close button: no minimising, and at its fixed size nothing to maximise.
    auto* window =
        new QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    window->setWindowTitle(kOnboardingTitle);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    // Scrolls only on a screen too small for the window, its scroll bar beside the view.
    auto* scroll = new QScrollArea(window);
    scroll->setFrameShape(QFrame::NoFrame);
    QScreen* screen = QGuiApplication::primaryScreen();
    const QSize wanted(650, 650);
    QSize size = ScreenFit::windowSize(wanted, screen);
    if (size.height() < wanted.height())
        size = ScreenFit::windowSize(wanted + QSize(scroll->verticalScrollBar()->sizeHint().width(), 0), screen);
    window->setFixedSize(size);
    auto* view = new OnboardingView;
    QPointer<AppDelegate> self(this);
    view->onWelcome = [self] {
        if (self)
            self->showWelcome();
    };
    scroll->setWidget(view);
    layout->addWidget(scroll);
    if (screen)
        window->move(screen->availableGeometry().center() - window->rect().center());
    window->installEventFilter(this);

    m_onboardingWindow = window;
    platform().windowSystem().offerOnlyClosing(window);
    // Activating this window is activating the application here.
    window->show();
    window->raise();
    window->activateWindow();
    debugLog(kTag, QStringLiteral("Onboarding window shown"));
}

void AppDelegate::cleanupAllOnboardingWindows() {
    closeOnboardingWindow();
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        const QString title = window->windowTitle();
        if (title == kOnboardingTitle || title.contains(QLatin1String("Onboarding")) ||
            title.contains(QLatin1String("onboarding")))
            window->close();
        if (window->findChild<OnboardingView*>() || qobject_cast<OnboardingView*>(window))
            window->close();
        if (window->width() == 650 && window->height() >= 600)
            window->close();
    }
}

void AppDelegate::forceShowOnboarding() {
    store("hasScreenCapturePermission", isScreenCaptureAllowed());
    store("hasAccessibilityPermission", isAccessibilityTrusted());
    store("hasCompletedOnboarding", false);
    cleanupAllOnboardingWindows();
    // The settings window and the about panel stay; they are known by identity, not by title.
    QWidget* settings = m_settingsWindow ? m_settingsWindow() : nullptr;
    QWidget* about = m_aboutPanel ? m_aboutPanel() : nullptr;
    for (QWidget* window : regularWindows()) {
        if (window != settings && window != about && window->isVisible())
            window->close();
    }
    QPointer<AppDelegate> self(this);
    MainQueue::async(
        [self] {
            if (self)
                self->showOnboardingWindow();
        },
        this);
}

void AppDelegate::handleOnboardingCompleted(const QVariantMap& userInfo) {
    bool completed = stored("hasCompletedOnboarding");
    const QVariant completedValue = userInfo.value(NotificationKeys::hasCompletedOnboarding);
    if (completedValue.typeId() == QMetaType::Bool) {
        completed = completedValue.toBool();
        store("hasCompletedOnboarding", completed);
    }
    if (!completed)
        store("hasCompletedOnboarding", true);
    const QVariant accessibility = userInfo.value(NotificationKeys::hasAccessibilityPermission);
    if (accessibility.typeId() == QMetaType::Bool)
        store("hasAccessibilityPermission", accessibility.toBool());
    const QVariant screenValue = userInfo.value(NotificationKeys::hasScreenCapturePermission);
    const bool notified = screenValue.typeId() == QMetaType::Bool && screenValue.toBool();
    if (screenValue.typeId() == QMetaType::Bool)
        store("hasScreenCapturePermission", notified);

    // On its own: the onboarding window it would go over is closed next.
    if (notified && !isScreenCaptureAllowed())
        platform().screenCapture().requestPermission(nullptr);

    QPointer<AppDelegate> self(this);
    MainQueue::async(
        [self] {
            if (self)
                self->continueOnboardingCompletion();
        },
        this);
}

void AppDelegate::continueOnboardingCompletion() {
    closeOnboardingWindow();
    const bool screen = isScreenCaptureAllowed();
    const bool trusted = isAccessibilityTrusted();
    store("hasScreenCapturePermission", screen);
    store("hasAccessibilityPermission", trusted);
    if (screen && trusted) {
        if (!stored("hasEverLaunched"))
            store("hasEverLaunched", true);
        startFullApplicationSetup();
    } else {
        forceShowOnboarding();
    }
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Close && watched == m_onboardingWindow.data())
        onboardingWindowWillClose(m_onboardingWindow);
    return QObject::eventFilter(watched, event);
}

void AppDelegate::onboardingWindowWillClose(QWidget* window) {
    if (!m_onboardingWindow || m_onboardingWindow != window)
        return;
    m_onboardingWindow = nullptr;
    window->removeEventFilter(this);
    window->deleteLater();
    const bool completed = stored("hasCompletedOnboarding");
    const bool screen = isScreenCaptureAllowed();
    const bool trusted = isAccessibilityTrusted();
    if (completed && trusted && screen && !m_isFullApplicationSetupCompleted) {
        QPointer<AppDelegate> self(this);
        MainQueue::async(
            [self] {
                if (self)
                    self->startFullApplicationSetup();
            },
            this);
    }
}

// MARK: - Full setup

void AppDelegate::startFullApplicationSetup() {
    if (m_fullSetupStarted || m_isFullApplicationSetupCompleted)
        return;
    m_fullSetupStarted = true;
    checkPermissions();
    QPointer<AppDelegate> self(this);
    MainQueue::async(
        [self] {
            if (self)
                self->startFullApplicationFeatures();
        },
        this);
}

void AppDelegate::startFullApplicationFeatures() {
    FloatingBarManager::shared();
    OCRManager::shared();
    KeyboardShortcutManager::shared();
    setupFloatingBarAndSelection();
    m_isFullApplicationSetupCompleted = true;
    debugLog(kTag, QStringLiteral("Full setup complete"));
    StateReport::report(StateReport::ready);
}

void AppDelegate::checkPermissions() {
    const bool screen = isScreenCaptureAllowed();
    verifyScreenCapturePermission();
    store("hasScreenCapturePermission", screen);
    const bool trusted = isAccessibilityTrusted();
    store("hasAccessibilityPermission", trusted);
    if (trusted && screen)
        return;
    store("hasCompletedOnboarding", false);
    forceShowOnboarding();
}

void AppDelegate::verifyScreenCapturePermission() {
    QPointer<AppDelegate> self(this);
    platform().screenCapture().probeShareableContent([self](bool granted) {
        if (!self || !granted)
            return;
        store("hasScreenCapturePermission", true);
        self->recheckPermissionsAndStart();
    });
}

void AppDelegate::recheckPermissionsAndStart() {
    QPointer<AppDelegate> self(this);
    MainQueue::async(
        [self] {
            if (!self)
                return;
            if (isScreenCaptureAllowed() && isAccessibilityTrusted() &&
                !self->m_isFullApplicationSetupCompleted) {
                store("hasCompletedOnboarding", true);
                store("hasAccessibilityPermission", true);
                store("hasScreenCapturePermission", true);
                self->startFullApplicationSetup();
            }
        },
        this);
}

void AppDelegate::setupFloatingBarAndSelection() {
    store("showFloatingBar", true);
    NotificationCenter::shared().post(Notifications::FloatingBarVisibilityChanged,
                                      {{NotificationKeys::value, true}});
    SelectionMonitor& monitor = SelectionMonitor::shared();
    QPointer<AppDelegate> self(this);
    monitor.onSelectionChanged = [self](const QString& text, const QRect& rect, const QString& language,
                                        bool isEditable) {
        if (self)
            self->handleSelectionChanged(text, rect, language, isEditable);
    };
}

void AppDelegate::handleSelectionChanged(const QString& text, const QRect& frame, const QString& language,
                                         bool isEditable) {
    if (text.isEmpty())
        return;
    FloatingBarManager::shared().showFloatingBar(text, language, isEditable, frame);
}

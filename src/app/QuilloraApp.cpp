#include "app/QuilloraApp.h"

#include "app/AboutPanel.h"
#include "app/AppDelegate.h"
#include "app/UpdateManager.h"
#include "floatingbar/FloatingBarManager.h"
#include "floatingbar/FloatingBarWindowController.h"
#include "menubar/MenuBarManager.h"
#include "platform/MemoryTuning.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/Platform.h"
#include "platform/SingleInstanceGuard.h"
#include "platform/TerminationSignals.h"
#include "platform/UserDefaults.h"
#include "platform/x11/X11Platform.h"
#include "platform/x11/Xcb.h"
#include "platform/x11/XcbSharedMemory.h"
#include "services/TextToSpeechService.h"
#include "settings/LaunchAtLoginManager.h"
#include "settings/SettingsManager.h"
#include "settings/SettingsWindowManager.h"
#include "shortcuts/KeyboardShortcutManager.h"
#include "ui/ImageAssetIconEngine.h"
#include "ui/StateReport.h"

#include <QApplication>
#include <QMetaObject>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <dlfcn.h>

namespace {

QuilloraApp* g_current = nullptr;

// The managers the application object owns, newest first: a manager may use older ones while it goes.
template <typename... Manager>
void deleteManagers(QObject& application) {
    QList<QPointer<QObject>> managers;
    for (QObject* child : application.children()) {
        if ((qobject_cast<Manager*>(child) || ...))
            managers.prepend(child);
    }
    for (const QPointer<QObject>& manager : managers)
        delete manager.data();
}

// Every window, popover, timer and manager goes while the application object still stands: what is
// destroyed after it starts timers with no event loop left and reaches for an input method that is gone.
// The settings are on disk first, so that nothing torn down here can cut a write short.
void tearDown(QApplication& application) {
    UserDefaults::standard().waitForWrites();
    // A clip still playing would run on into the process's exit.
    TextToSpeechService::shared().stop();
    deleteManagers<KeyboardShortcutManager, FloatingBarManager, SettingsWindowManager, UpdateManager,
                   LaunchAtLoginManager, SettingsManager>(application);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    UserDefaults::standard().waitForWrites();
}

// For the programs that watch the state: what of this program the teardown above leaves for the
// application object's destruction, windows and objects it owns alike. Qt's own (its styles, its desktop
// window) are not ours to tear down.
void reportLeftAtExit(const QApplication& application) {
    if (!StateReport::isWanted())
        return;
    const auto ours = [](const QObject* object) {
        Dl_info info;
        return ::dladdr(object->metaObject(), &info) != 0 && info.dli_fname &&
               !QByteArray(info.dli_fname).contains("libQt6");
    };
    QByteArrayList left;
    for (const QWidget* widget : QApplication::allWidgets()) {
        if (widget->windowType() != Qt::Desktop)
            left.append(widget->metaObject()->className());
    }
    for (const QObject* child : application.children()) {
        if (ours(child) && !child->isWidgetType())
            left.append(child->metaObject()->className());
    }
    std::sort(left.begin(), left.end());
    StateReport::report(("left at exit:" + (left.isEmpty() ? QByteArray() : ' ' + left.join(' '))).constData());
}

} // namespace

QuilloraApp* QuilloraApp::current() {
    return g_current;
}

QuilloraApp::QuilloraApp(QObject* parent)
    : QObject(parent)
    , m_appDelegate(new AppDelegate(this)) {
    m_isOnboardingCompleted = UserDefaults::standard().boolean(QStringLiteral("hasCompletedOnboarding"));
    // Created here, so hot keys work whatever the permissions.
    KeyboardShortcutManager::shared();
    NotificationCenter::shared().addObserver(Notifications::OnboardingCompleted, this,
                                             [this](const QVariantMap&) { refreshOnboardingState(); });
    m_appDelegate->setAboutPanelProvider([this]() -> QWidget* { return m_aboutPanel; });
    // Queued: a window is not closed from inside its own show.
    connect(this, &QuilloraApp::windowListChanged, this, [this] {
        if (m_closeQueued)
            return;
        m_closeQueued = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_closeQueued = false;
                closeUntitledWindows();
            },
            Qt::QueuedConnection);
    });
    qApp->installEventFilter(this);
}

QuilloraApp::~QuilloraApp() {
    qApp->removeEventFilter(this);
    delete m_aboutPanel;
}

bool QuilloraApp::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if ((type == QEvent::Show || type == QEvent::Hide) && watched->isWidgetType() &&
        AppDelegate::isRegularWindow(static_cast<QWidget*>(watched)))
        Q_EMIT windowListChanged();
    return QObject::eventFilter(watched, event);
}

void QuilloraApp::closeUntitledWindows() {
    for (QWidget* window : AppDelegate::regularWindows()) {
        if (window->isVisible() && window->windowTitle().isEmpty())
            window->close();
    }
}

void QuilloraApp::refreshOnboardingState() {
    const bool completed = UserDefaults::standard().boolean(QStringLiteral("hasCompletedOnboarding"));
    if (completed == m_isOnboardingCompleted)
        return;
    m_isOnboardingCompleted = completed;
    Q_EMIT isOnboardingCompletedChanged(completed);
}

void QuilloraApp::showAboutPanel() {
    if (!m_aboutPanel) {
        m_aboutPanel = new AboutPanel;
        m_aboutPanel->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_aboutPanel->show();
    m_aboutPanel->raise();
    m_aboutPanel->activateWindow();
}

int QuilloraApp::run(int argc, char** argv) {
    // The global monitors, grabs and synthetic keys need X11; under Wayland run through XWayland.
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "Quillora needs an X11 display (DISPLAY is not set).\n"
                             "Without a desktop, run it under a virtual one: xvfb-run -a scripts/run.sh\n");
        return 1;
    }
    limitAllocatorArenas();
    waitForEndingThreadsAtExit();
    limitPooledThreads();
    qputenv("QT_QPA_PLATFORM", "xcb");
    sendImagesOverSocketUnlessChosen();

    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quillora"));
    QApplication::setApplicationName(QStringLiteral("Quillora"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLORA_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("quillora"));
    QApplication::setQuitOnLastWindowClosed(false);

    SingleInstanceGuard guard;
    if (guard.directory().isEmpty()) {
        std::fprintf(stderr, "Quillora cannot start: %s.\n", qPrintable(guard.errorString()));
        return 1;
    }
    if (!guard.claim()) {
        if (guard.sendReopenRequest())
            return 0;
        std::fprintf(stderr, "Quillora is already running, but did not answer at %s.\n",
                     qPrintable(guard.socketPath()));
        return 1;
    }

    // The icon docks first: what follows is not needed to see it. The application's icon comes after the
    // dock, since the window that carries it to the tray would draw it at every size first.
    MenuBarManager::showTrayIconEarly();
    // The dock request goes out now, not when the event loop first waits.
    Xcb::flushQtConnection();
    QMetaObject::invokeMethod(
        &application,
        [] {
            // Every window gets it, so taskbars and window switchers show the application's own picture.
            QApplication::setWindowIcon(
                QIcon(new ImageAssetIconEngine(QStringLiteral("AppIcon"), QStringLiteral("quillora"))));
        },
        Qt::QueuedConnection);

    // A termination signal ends the event loop as Quit does, so the process leaves through its normal
    // teardown.
    auto* termination = new TerminationSignals(&application);
    QObject::connect(termination, &TerminationSignals::received, &application, &QCoreApplication::quit);
    installPlatform(std::make_unique<X11Platform>());
    // A first launch writes a dozen settings; the launch writes them once, when it is through.
    UserDefaults::standard().holdWrites();
    int result = 0;
    {
        QuilloraApp app;
        g_current = &app;
        AppDelegate& delegate = app.appDelegate();
        QObject::connect(&guard, &SingleInstanceGuard::reopenRequested, &delegate,
                         &AppDelegate::handleReopen);
        QObject::connect(&application, &QCoreApplication::aboutToQuit, &delegate,
                         &AppDelegate::applicationWillTerminate);
        QMetaObject::invokeMethod(&delegate, &AppDelegate::applicationDidFinishLaunching,
                                  Qt::QueuedConnection);
        result = QApplication::exec();
        g_current = nullptr;
    }
    tearDown(application);
    installPlatform(nullptr);
    // Their last work runs while everything it may use still stands.
    endPooledThreads();
    reportLeftAtExit(application);
    return result;
}

#include "settings/SettingsWindowManager.h"

#include "platform/ActivationPolicy.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/Platform.h"
#include "settings/SettingsView.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace {

void activateApplication() {
    if (hasPlatform())
        platform().activationPolicy().activateIgnoringOtherApps();
}

void bringToFront(QWidget* window) {
    if (window->isMinimized())
        window->showNormal();
    window->raise();
    window->activateWindow();
}

} // namespace

SettingsWindowManager& SettingsWindowManager::shared() {
    // Owned by the application, so its window goes away before it does.
    static SettingsWindowManager* instance = new SettingsWindowManager(QCoreApplication::instance());
    return *instance;
}

SettingsWindowManager::SettingsWindowManager(QObject* parent)
    : QObject(parent) {
    NotificationCenter::shared().addObserver(
        Notifications::OpenSettingsWindow, this,
        [this](const QVariantMap&) { MainQueue::async([this] { showSettingsWindow(); }, this); });
}

void SettingsWindowManager::showSettingsWindow() {
    if (m_window && m_window->isVisible()) {
        // The application first: it raises its last active window, which must not end up over this one.
        activateApplication();
        bringToFront(m_window);
        return;
    }
    if (m_window) {
        // Hidden without closing: start afresh rather than keep a second, invisible window.
        m_window->close();
        m_window->deleteLater();
    }

    auto* window = new SettingsView;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    window->setWindowTitle(QStringLiteral("Ayarlar"));
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        window->fitInto(area);
        window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
    }
    m_window = window;
    window->show();
    activateApplication();
    bringToFront(window);
}

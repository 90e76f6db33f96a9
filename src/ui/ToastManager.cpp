#include "ui/ToastManager.h"

#include "platform/MainQueue.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

ToastManager& ToastManager::shared() {
    static ToastManager* instance = new ToastManager;
    return *instance;
}

ToastManager::ToastManager()
    : QObject(QCoreApplication::instance()) {}

void ToastManager::showToast(const QString& message, const QString& icon, const QColor& color,
                             double durationSeconds) {
    m_toastMessage = message;
    m_toastIcon = icon;
    m_toastColor = color;
    m_showToast = true;
    Q_EMIT changed();
    const int delayMs = int(std::lround(std::max(0.0, durationSeconds) * 1000));
    MainQueue::asyncAfter(delayMs, [this] { hideToast(); }, this);
}

void ToastManager::hideToast() {
    if (!m_showToast)
        return;
    m_showToast = false;
    Q_EMIT changed();
}

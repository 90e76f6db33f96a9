#include "settings/DockIconManager.h"

#include "platform/ActivationPolicy.h"
#include "platform/DebugLog.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/Platform.h"
#include "platform/UserDefaults.h"

void DockIconManager::setShowInDock(bool show) {
    ActivationPolicy& policy = platform().activationPolicy();
    policy.setPolicy(show ? ActivationPolicy::Policy::Regular : ActivationPolicy::Policy::Accessory);
    policy.activateIgnoringOtherApps();
    NotificationCenter::shared().post(Notifications::DockIconVisibilityChanged,
                                      {{NotificationKeys::value, show}});
    debugLog(QStringLiteral("DockIconManager"),
             QStringLiteral("showInDock → %1").arg(show ? "true" : "false"));
}

void DockIconManager::updateShowInDock(bool show) {
    UserDefaults::standard().set(QStringLiteral("showInDock"), show);
    MainQueue::async([show] {
        if (hasPlatform())
            setShowInDock(show);
    });
}

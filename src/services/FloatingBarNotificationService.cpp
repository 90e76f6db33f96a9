#include "services/FloatingBarNotificationService.h"

#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"

void FloatingBarNotificationService::postVisibilityChanged(bool value) {
    NotificationCenter::shared().post(Notifications::FloatingBarVisibilityChanged,
                                      {{NotificationKeys::value, value}});
}

void FloatingBarNotificationService::postAlwaysOnTopChanged(bool value) {
    NotificationCenter::shared().post(Notifications::AlwaysOnTopChanged, {{NotificationKeys::value, value}});
}

void FloatingBarNotificationService::postExcludedAppsChanged(const QStringList& apps) {
    NotificationCenter::shared().post(Notifications::ExcludedAppsChanged, {{NotificationKeys::apps, apps}});
}

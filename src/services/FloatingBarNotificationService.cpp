#include "services/FloatingBarNotificationService.h"

#include "platform/NotificationCenter.h"

void FloatingBarNotificationService::postVisibilityChanged(bool value) {
    NotificationCenter::shared().post(QStringLiteral("FloatingBarVisibilityChanged"),
                                      {{QStringLiteral("value"), value}});
}

void FloatingBarNotificationService::postAlwaysOnTopChanged(bool value) {
    NotificationCenter::shared().post(QStringLiteral("AlwaysOnTopChanged"),
                                      {{QStringLiteral("value"), value}});
}

void FloatingBarNotificationService::postExcludedAppsChanged(const QStringList& apps) {
    NotificationCenter::shared().post(QStringLiteral("ExcludedAppsChanged"),
                                      {{QStringLiteral("apps"), apps}});
}

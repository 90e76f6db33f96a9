#pragma once

#include <QStringList>

// The one poster of the floating bar's settings notifications. Stateless; any instance serves.
class FloatingBarNotificationService {
public:
    // "FloatingBarVisibilityChanged" {"value": Bool}
    static void postVisibilityChanged(bool value);
    // "AlwaysOnTopChanged" {"value": Bool}
    static void postAlwaysOnTopChanged(bool value);
    // "ExcludedAppsChanged" {"apps": list of bundle identifiers}
    static void postExcludedAppsChanged(const QStringList& apps);
};

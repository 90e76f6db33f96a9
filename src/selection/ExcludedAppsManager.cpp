#include "selection/ExcludedAppsManager.h"

#include "platform/DebugLog.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/UserDefaults.h"

namespace {
const QString kExcludedAppsKey = QStringLiteral("excludedApps");
}

QStringList ExcludedAppsManager::loadExcludedApps() {
    const QString stored = UserDefaults::standard().string(kExcludedAppsKey);
    if (stored.isEmpty())
        return {};
    // Empty parts are kept: the stored string is the list, whatever wrote it.
    return stored.split(QLatin1Char(','), Qt::KeepEmptyParts);
}

void ExcludedAppsManager::saveExcludedApps(const QStringList& apps) {
    UserDefaults::standard().set(kExcludedAppsKey, apps.join(QLatin1Char(',')));
    debugLog(QStringLiteral("ExcludedAppsManager"), QStringLiteral("💾 %1 excluded").arg(apps.size()));
    NotificationCenter::shared().post(Notifications::ExcludedAppsChanged, {{NotificationKeys::apps, apps}});
}

bool ExcludedAppsManager::isStoredListUnreadable() {
    return UserDefaults::standard().isUnreadableString(kExcludedAppsKey);
}

namespace {
// A value we cannot read is the user's; never replace it.
bool storedListIsUnreadable() {
    if (!ExcludedAppsManager::isStoredListUnreadable())
        return false;
    debugLog(QStringLiteral("ExcludedAppsManager"), QStringLiteral("⚠️ unreadable excludedApps left as it is"));
    return true;
}
} // namespace

void ExcludedAppsManager::removeExcludedApp(const QString& bundleIdentifier) {
    if (storedListIsUnreadable())
        return;
    QStringList apps = loadExcludedApps();
    const qsizetype index = apps.indexOf(bundleIdentifier);
    if (index < 0)
        return;
    apps.removeAt(index);
    saveExcludedApps(apps);
}

void ExcludedAppsManager::addExcludedApp(const QString& bundleIdentifier) {
    // A comma would split the entry in two on the next load; such an id can never match anyway.
    if (bundleIdentifier.contains(QLatin1Char(','))) {
        debugLog(QStringLiteral("ExcludedAppsManager"),
                 QStringLiteral("⚠️ refused id with a comma: %1").arg(bundleIdentifier));
        return;
    }
    if (storedListIsUnreadable())
        return;
    QStringList apps = loadExcludedApps();
    if (apps.contains(bundleIdentifier))
        return;
    apps.append(bundleIdentifier);
    saveExcludedApps(apps);
}

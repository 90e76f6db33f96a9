#pragma once

#include <QString>
#include <QStringList>

// The applications (by bundle identifier) in which no floating bar is offered. The list lives in the
// user defaults under "excludedApps" as one comma-joined string; nothing is cached here.
class ExcludedAppsManager {
public:
    static QStringList loadExcludedApps();
    // Stores the list and posts "ExcludedAppsChanged" {"apps": list}.
    static void saveExcludedApps(const QStringList& apps);
    static void removeExcludedApp(const QString& bundleIdentifier);
    static void addExcludedApp(const QString& bundleIdentifier);
    // A stored value that is not a list we can read (say, written by hand in another shape): it loads as
    // empty and is never replaced, so adding and removing change nothing.
    static bool isStoredListUnreadable();
};

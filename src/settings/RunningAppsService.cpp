#include "settings/RunningAppsService.h"

#include "platform/Platform.h"
#include "platform/Workspace.h"

#include <QLocale>
#include <algorithm>

QList<RunningApp> RunningAppsService::getRunningApps() {
    if (!hasPlatform())
        return {};
    Workspace& workspace = platform().workspace();
    QList<RunningApp> apps;
    for (const RunningApplication& running : workspace.runningApplications()) {
        if (running.bundleIdentifier.isEmpty() || running.localizedName.isEmpty())
            continue;
        apps.append({QUuid::createUuid(), running.localizedName, running.bundleIdentifier,
                     workspace.iconForApplication(running)});
    }

    // Code points, not UTF-16 units: a name outside the basic plane sorts after every name inside it.
    QList<std::pair<QList<uint>, qsizetype>> order;
    order.reserve(apps.size());
    for (qsizetype i = 0; i < apps.size(); ++i)
        order.append({apps[i].name.normalized(QString::NormalizationForm_C).toUcs4(), i});
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QList<RunningApp> sorted;
    sorted.reserve(apps.size());
    for (const auto& entry : order)
        sorted.append(apps[entry.second]);
    return sorted;
}

QList<RunningApp> RunningAppsService::filter(const QList<RunningApp>& apps, const QString& searchText,
                                             const QLocale& locale) {
    if (searchText.isEmpty())
        return apps;
    // The locale's own lower case: a Turkish user's "ı" is the lower case of "I", and "i" that of "İ".
    const QString needle = locale.toLower(searchText);
    QList<RunningApp> matches;
    for (const RunningApp& app : apps) {
        if (locale.toLower(app.name).contains(needle))
            matches.append(app);
    }
    return matches;
}

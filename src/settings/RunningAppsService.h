#pragma once

#include "settings/RunningApp.h"

#include <QList>
#include <QLocale>

// The regular applications running now, for the application picker.
class RunningAppsService {
public:
    // Those with an id and a name, sorted by name in code-point order after canonical normalisation
    // (upper-case ASCII before lower-case, accented initials after both), equal names in the workspace's
    // order. Never fails; no applications give an empty list.
    static QList<RunningApp> getRunningApps();

    // The entries whose name contains `searchText`, ignoring case as `locale` pairs the cases but not
    // accents; all of them for an empty text. The text is not trimmed.
    static QList<RunningApp> filter(const QList<RunningApp>& apps, const QString& searchText,
                                    const QLocale& locale = QLocale());
};

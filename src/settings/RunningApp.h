#pragma once

#include <QIcon>
#include <QString>
#include <QUuid>

// One running application as the application picker lists it.
struct RunningApp {
    // Fresh for every listing: two listings of one application give different ids.
    QUuid id;
    QString name;
    // The desktop-entry id; what a choice hands back.
    QString bundleIdentifier;
    // Null when the desktop offers none.
    QIcon icon;
};

#pragma once

#include <QObject>

// The update checks as the settings drive them: the General tab's toggle and button, and the reset. They
// belong to the application, which installs them at start-up; until then the settings only store the
// choice and "Check for Updates" stays disabled.
class UpdateChecks : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)
public:
    using QObject::QObject;

    // Null until installed, and again once the installed checks are destroyed.
    static UpdateChecks* installed();
    static void install(UpdateChecks* checks);

    // False while a check runs.
    virtual bool canCheckForUpdates() const = 0;
    virtual void checkForUpdates() = 0;
    virtual void setAutomaticallyChecksForUpdates(bool automatic) = 0;

Q_SIGNALS:
    void canCheckForUpdatesChanged(bool canCheck);
};

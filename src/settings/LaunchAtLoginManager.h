#pragma once

#include <QObject>
#include <QString>

// Keeps the program's start at login (the platform's login item) in step with the "launchAtLogin"
// setting. The setting holds the user's choice even when the system could not follow it, so that the
// next start tries again; every failure is reported through the result, launchAtLoginFailed() and a
// warning on stderr.
class LaunchAtLoginManager : public QObject {
    Q_OBJECT
public:
    // Created on first use; the creation runs checkAndFixLaunchAtLoginStatus() once.
    static LaunchAtLoginManager& shared();

    explicit LaunchAtLoginManager(QObject* parent = nullptr);

    // Registers or removes the login item and stores `enabled`. False when the change failed.
    bool setLaunchAtLogin(bool enabled);
    // Applies the stored setting, unless the settings file could not be read: the defaults standing in
    // for it are no choice of the user's, and the login item stays as it is. False when a change failed.
    bool applyStoredSetting();
    // Re-applies the stored setting when the login item differs from it.
    void checkAndFixLaunchAtLoginStatus();
    bool isLaunchAtLoginEnabled() const;

    // The user-facing text of a failed change to `requested`.
    static QString failureMessage(bool requested);

Q_SIGNALS:
    void launchAtLoginFailed(bool requested, const QString& message);
};

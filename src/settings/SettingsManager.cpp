#include "settings/SettingsManager.h"

#include "platform/ActivationPolicy.h"
#include "platform/DebugLog.h"
#include "platform/LoginItem.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/Platform.h"
#include "platform/UserDefaults.h"
#include "settings/DockIconManager.h"
#include "settings/LaunchAtLoginManager.h"
#include "settings/UpdateChecks.h"

#include <QCoreApplication>

namespace {

const QString kTag = QStringLiteral("SettingsManager");

QString onOff(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

SettingsManager& SettingsManager::shared() {
    static SettingsManager* instance = [] {
        registerDefaults();
        return new SettingsManager(QCoreApplication::instance());
    }();
    return *instance;
}

SettingsManager::SettingsManager(QObject* parent)
    : QObject(parent) {}

void SettingsManager::registerDefaults() {
    UserDefaults& defaults = UserDefaults::standard();
    // Registered only: the full setup stores it.
    defaults.registerDefaults({{QStringLiteral("showFloatingBar"), true}});

    for (const char* key : {"showInDock", "launchAtLogin", "checkForUpdatesAutomatically"}) {
        const QString name = QString::fromLatin1(key);
        if (!defaults.contains(name)) {
            defaults.set(name, true);
            debugLog(kTag, QStringLiteral("Missing %1 written as true").arg(name));
        }
    }
    if (!defaults.boolean(QStringLiteral("hasEverLaunched"))) {
        defaults.set(QStringLiteral("showInDock"), true);
        defaults.set(QStringLiteral("launchAtLogin"), true);
        defaults.set(QStringLiteral("alwaysOnTop"), false);
        defaults.set(QStringLiteral("checkForUpdatesAutomatically"), true);
        defaults.set(QStringLiteral("hasEverLaunched"), true);
        debugLog(kTag, QStringLiteral("First launch: settings set to their first-launch values"));
    }
}

void SettingsManager::resetAllSettings() {
    UserDefaults& defaults = UserDefaults::standard();
    defaults.set(QStringLiteral("interfaceLanguage"), QStringLiteral("en"));
    defaults.set(QStringLiteral("showInDock"), true);
    defaults.set(QStringLiteral("launchAtLogin"), true);
    defaults.set(QStringLiteral("alwaysOnTop"), false);
    defaults.set(QStringLiteral("checkForUpdatesAutomatically"), true);
    debugLog(kTag, QStringLiteral("Reset: showInDock, launchAtLogin, checkForUpdatesAutomatically true; "
                                  "alwaysOnTop false"));

    DockIconManager::updateShowInDock(true);
    LaunchAtLoginManager::shared().setLaunchAtLogin(true);
    if (UpdateChecks* updates = UpdateChecks::installed())
        updates->setAutomaticallyChecksForUpdates(true);

    NotificationCenter::shared().post(Notifications::LanguageChanged);
    NotificationCenter::shared().post(Notifications::SettingsReset);
}

void SettingsManager::verifySettings() {
    UserDefaults& defaults = UserDefaults::standard();
    const bool showInDock = defaults.boolean(QStringLiteral("showInDock"));
    const bool launchAtLogin = defaults.boolean(QStringLiteral("launchAtLogin"));

    const bool shown = platform().activationPolicy().policy() == ActivationPolicy::Policy::Regular;
    if (shown != showInDock) {
        debugLog(
            kTag,
            QStringLiteral("⚠️ showInDock: expected %1, actual %2").arg(onOff(showInDock), onOff(shown)));
        DockIconManager::updateShowInDock(showInDock);
    }
    const bool registered = platform().loginItem().isEnabled();
    if (registered != launchAtLogin) {
        debugLog(kTag, QStringLiteral("⚠️ launchAtLogin: expected %1, actual %2")
                           .arg(onOff(launchAtLogin), onOff(registered)));
        LaunchAtLoginManager::shared().applyStoredSetting();
    }
}

void SettingsManager::applyInitialSettings() {
    registerDefaults();
    UserDefaults& defaults = UserDefaults::standard();
    const bool showInDock = defaults.boolean(QStringLiteral("showInDock"));
    const bool launchAtLogin = defaults.boolean(QStringLiteral("launchAtLogin"));
    debugLog(kTag, QStringLiteral("Applying showInDock=%1 launchAtLogin=%2")
                       .arg(onOff(showInDock), onOff(launchAtLogin)));
    DockIconManager::updateShowInDock(showInDock);
    LaunchAtLoginManager::shared().applyStoredSetting();
    verifySettings();
}

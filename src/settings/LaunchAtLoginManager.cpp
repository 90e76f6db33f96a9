#include "settings/LaunchAtLoginManager.h"

#include "platform/DebugLog.h"
#include "platform/LoginItem.h"
#include "platform/Platform.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>

namespace {
const QString kTag = QStringLiteral("LaunchAtLogin");
const QString kKey = QStringLiteral("launchAtLogin");
} // namespace

LaunchAtLoginManager& LaunchAtLoginManager::shared() {
    static auto* instance = new LaunchAtLoginManager(QCoreApplication::instance());
    return *instance;
}

LaunchAtLoginManager::LaunchAtLoginManager(QObject* parent)
    : QObject(parent) {
    checkAndFixLaunchAtLoginStatus();
}

QString LaunchAtLoginManager::failureMessage(bool requested) {
    return requested ? QStringLiteral("Quillora could not be set to open at login: its autostart entry "
                                      "could not be written. It tries again at its next start.")
                     : QStringLiteral("Quillora could not stop opening at login: its autostart entry "
                                      "could not be removed. It tries again at its next start.");
}

bool LaunchAtLoginManager::setLaunchAtLogin(bool enabled) {
    LoginItem& item = platform().loginItem();
    const bool changed = item.setEnabled(enabled) && item.isEnabled() == enabled;
    UserDefaults& defaults = UserDefaults::standard();
    // Every start stores the choice again; the same value is no change.
    if (!defaults.contains(kKey) || defaults.boolean(kKey) != enabled)
        defaults.set(kKey, enabled);
    if (changed) {
        debugLog(kTag, QStringLiteral("✅ launchAtLogin = %1").arg(enabled ? "true" : "false"));
        return true;
    }
    const QString message = failureMessage(enabled);
    // Release builds too: a failure at start has no window to be shown in.
    qWarning("Quillora: %s", qPrintable(message));
    Q_EMIT launchAtLoginFailed(enabled, message);
    return false;
}

bool LaunchAtLoginManager::applyStoredSetting() {
    const UserDefaults& defaults = UserDefaults::standard();
    if (defaults.isFileUnreadable()) {
        debugLog(kTag, QStringLiteral("⚠️ settings unread; the login item is left as it is"));
        return true;
    }
    return setLaunchAtLogin(defaults.boolean(kKey));
}

void LaunchAtLoginManager::checkAndFixLaunchAtLoginStatus() {
    if (UserDefaults::standard().boolean(kKey) != platform().loginItem().isEnabled())
        applyStoredSetting();
}

bool LaunchAtLoginManager::isLaunchAtLoginEnabled() const {
    return platform().loginItem().isEnabled();
}

#include "app/UpdateManager.h"

#include "platform/DebugLog.h"
#include "platform/UserDefaults.h"
#include "services/AppVersion.h"
#include "services/WebApiClient.h"

#include <QCoreApplication>

#ifndef QUILLORA_WEBSITE_BASE_URL
#define QUILLORA_WEBSITE_BASE_URL "https://quillora.app"
#endif

UpdateManager& UpdateManager::shared() {
    static auto* instance = new UpdateManager({}, QCoreApplication::instance());
    return *instance;
}

UpdateManager::UpdateManager(QString currentVersion, QObject* parent)
    : UpdateChecks(parent)
    , m_controller(
          [] {
              const QString feed = feedURLString();
              return feed.isEmpty() ? std::nullopt : std::optional<QUrl>(QUrl(feed));
          },
          currentVersion.isEmpty() ? getAppVersion() : currentVersion) {
    Updater& updater = m_controller.updater();
    updater.setUpdateCheckInterval(updateCheckIntervalSeconds);
    m_canCheckForUpdates = updater.canCheckForUpdates();
    connect(&updater, &Updater::canCheckForUpdatesChanged, this, [this](bool canCheck) {
        if (canCheck == m_canCheckForUpdates)
            return;
        m_canCheckForUpdates = canCheck;
        Q_EMIT canCheckForUpdatesChanged(canCheck);
    });
}

void UpdateManager::setAutomaticallyChecksForUpdates(bool automatic) {
    debugLog(QStringLiteral("UpdateManager"),
             QStringLiteral("Automatic checks %1").arg(automatic ? "on" : "off"));
    m_controller.updater().setAutomaticallyChecksForUpdates(automatic);
}

std::optional<QUrl> UpdateManager::websiteBaseUrl() {
    // The local stand-in serves the site too, when scripts/run.sh points this process at it.
    const QString devOverride = qEnvironmentVariable("QUILLORA_DEV_API_URL").trimmed();
    if (!devOverride.isEmpty())
        return WebApiClient::validatedBaseUrl(devOverride);
    const QString configured = UserDefaults::standard().string(QStringLiteral("websiteBaseURL")).trimmed();
    return WebApiClient::validatedBaseUrl(configured.isEmpty() ? QStringLiteral(QUILLORA_WEBSITE_BASE_URL)
                                                               : configured);
}

QString UpdateManager::feedURLString() {
    const std::optional<QUrl> base = websiteBaseUrl();
    if (!base)
        return {};
    QString text = base->toString(QUrl::FullyEncoded);
    while (text.endsWith(QLatin1Char('/')))
        text.chop(1);
    return text + QStringLiteral("/downloads/appcast.xml");
}

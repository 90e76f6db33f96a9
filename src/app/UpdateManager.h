#pragma once

#include "app/UpdaterController.h"
#include "settings/UpdateChecks.h"

#include <QObject>
#include <QUrl>
#include <optional>

// The application's update checks. Created during start-up, which hands it the stored
// "checkForUpdatesAutomatically" and installs it as the settings' UpdateChecks; the General tab binds its
// controls to it:
//   canCheckForUpdates (false while a check runs) enables "Check for Updates", which calls
//   checkForUpdates(); the automatic-checks toggle calls setAutomaticallyChecksForUpdates().
// The feed is "/downloads/appcast.xml" on the product's web site: the build setting
// QUILLORA_WEBSITE_BASE_URL, overridden by the "websiteBaseURL" user default (https, or http to a
// loopback address, like "apiBaseURL").
class UpdateManager : public UpdateChecks {
    Q_OBJECT
public:
    static constexpr int updateCheckIntervalSeconds = 14400;

    static UpdateManager& shared();

    // `currentVersion` empty: the app's version.
    explicit UpdateManager(QString currentVersion = {}, QObject* parent = nullptr);

    UpdaterController& updaterController() { return m_controller; }

    bool canCheckForUpdates() const override { return m_canCheckForUpdates; }
    void checkForUpdates() override { m_controller.checkForUpdates(); }
    bool automaticallyChecksForUpdates() const {
        return m_controller.updater().automaticallyChecksForUpdates();
    }
    void setAutomaticallyChecksForUpdates(bool automatic) override;

    // The web site in effect, or none when the configured one is not acceptable.
    static std::optional<QUrl> websiteBaseUrl();
    // The feed's address; empty when the site is not acceptable.
    static QString feedURLString();

private:
    UpdaterController m_controller;
    bool m_canCheckForUpdates = false;
};

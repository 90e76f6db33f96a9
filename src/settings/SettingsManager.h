#pragma once

#include <QObject>

// The defaults of the application-wide settings and the settings whose effect lies outside the process
// (taskbar presence, launch at login). Holds no state: everything is read from the user defaults when
// asked. Keys and defaults:
//   "showInDock" true, "launchAtLogin" true, "checkForUpdatesAutomatically" true (written when missing);
//   "alwaysOnTop" false, "hasEverLaunched" (written on the first launch);
//   "showFloatingBar" true (registered; the full setup stores true at every start);
//   "interfaceLanguage" "en" (written by the reset).
class SettingsManager : public QObject {
    Q_OBJECT
public:
    // The first access registers the defaults.
    static SettingsManager& shared();

    // Writes the missing values; on the first launch ever also forces the first-launch state.
    static void registerDefaults();

    // Restores the General settings, re-applies them, and posts "LanguageChanged" then "SettingsReset".
    void resetAllSettings();
    // Re-applies the stored taskbar and login settings where the live state differs from them.
    void verifySettings();
    // registerDefaults(), then applies and verifies both settings.
    void applyInitialSettings();

private:
    explicit SettingsManager(QObject* parent = nullptr);
};

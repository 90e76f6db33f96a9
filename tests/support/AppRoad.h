#pragma once

#include "AppUnderTest.h"
#include "DevApiServer.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QPoint>
#include <QRect>
#include <gtest/gtest.h>
#include <functional>
#include <optional>

// The fixture of an end-to-end test (tests/e2e): the web API stand-in running, the app not started yet so
// that a test can write its settings first, the left button up. When the test failed it leaves a screenshot
// named after it in AppUnderTest::artifactDir(), names it in the failure and prints the app's log.
class AppRoad : public ::testing::Test {
protected:
    // Here, not in the support library: the stand-in's path comes from the test target's definitions.
    void SetUp() override {
        mouseUp();
        // Without one the app opens its translator at start and has no icon: every road would differ.
        ASSERT_TRUE(waitForTray()) << "no system tray on the display";
        ASSERT_TRUE(m_api.start());
    }
    void TearDown() override;

    static void mouseUp();
    static bool waitForTray();
    // The history as stored, newest first.
    QJsonArray history() const;
    // The requests the stand-in answered whose path starts with `prefix`, oldest first.
    QList<QJsonObject> requestsTo(const QString& prefix) const;
    // Clicks the middle of control `name` where the app last reported it (at or after character `from` of
    // its log), and again wherever a later report puts it, until `done`: for a control that layout or
    // scrolling may still move once shown, with an action a second click does not undo. `scale`: the app's
    // QT_SCALE_FACTOR, its places being in its own units.
    bool clickControlUntil(const QString& name, qsizetype from, const std::function<bool()>& done,
                           int scale = 1, int timeoutMs = 20000);
    // The tray icon's place on screen once it is docked.
    std::optional<QRect> waitForTrayIcon();

    // The app started to its full setup, and its translator opened with a click on the tray icon.
    struct TrayTranslator {
        QRect icon;
        quint32 window = 0;
    };
    std::optional<TrayTranslator> startAndOpenTranslator();

    // The settings window opened from the tray icon's menu and moved out of the way of other windows.
    struct SettingsWindow {
        quint32 id = 0;
        // Its client area's top-left corner on the screen.
        QPoint origin;
    };
    std::optional<SettingsWindow> openSettingsFromTray();

    DevApiServer m_api;
    AppUnderTest m_app;
};

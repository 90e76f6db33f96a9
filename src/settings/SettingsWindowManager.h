#pragma once

#include "settings/SettingsView.h"

#include <QObject>
#include <QPointer>

// Opens the settings window on "OpenSettingsWindow" and keeps at most one: a request while it exists
// brings it back to the front (restoring it when minimised) instead of making another.
class SettingsWindowManager : public QObject {
    Q_OBJECT
public:
    // Created on first use; it listens from then on.
    static SettingsWindowManager& shared();

    explicit SettingsWindowManager(QObject* parent = nullptr);

    void showSettingsWindow();
    // The open settings window; null when none.
    SettingsView* settingsWindow() const { return m_window; }

private:
    QPointer<SettingsView> m_window;
};

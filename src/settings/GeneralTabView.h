#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

class QPushButton;
class ToggleSettingView;

// The "General" tab: launch at login, taskbar presence, always-on-top of the tray popover, automatic
// update checks, a check by hand, and the request to reset everything (confirmed by the settings view).
// A platform change that fails leaves its switch at the real state and says why.
class GeneralTabView : public QWidget {
    Q_OBJECT
public:
    explicit GeneralTabView(QWidget* parent = nullptr);
    ~GeneralTabView() override;

    ToggleSettingView* launchAtLoginRow() const { return m_launchAtLogin; }
    ToggleSettingView* showInDockRow() const { return m_showInDock; }
    ToggleSettingView* alwaysOnTopRow() const { return m_alwaysOnTop; }
    ToggleSettingView* automaticUpdatesRow() const { return m_automaticUpdates; }
    QPushButton* checkForUpdatesButton() const { return m_checkForUpdates; }
    QPushButton* resetButton() const { return m_reset; }
    // The message about a failed platform change while it is up.
    QMessageBox* failureAlert() const { return m_failureAlert; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void onAppear();
    void reportFailure(const QString& message);

    ToggleSettingView* m_launchAtLogin;
    ToggleSettingView* m_showInDock;
    ToggleSettingView* m_alwaysOnTop;
    ToggleSettingView* m_automaticUpdates;
    QPushButton* m_checkForUpdates;
    QPushButton* m_reset;
    QPointer<QMessageBox> m_failureAlert;
    bool m_hasInitialized = false;
};

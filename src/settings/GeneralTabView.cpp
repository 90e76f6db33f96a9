#include "settings/GeneralTabView.h"

#include "platform/DebugLog.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/UserDefaults.h"
#include "services/FloatingBarNotificationService.h"
#include "settings/DockIconManager.h"
#include "settings/LaunchAtLoginManager.h"
#include "settings/SettingsSectionView.h"
#include "settings/SettingsStyle.h"
#include "settings/ToggleSettingView.h"
#include "settings/UpdateChecks.h"
#include "ui/Color.h"
#include "ui/Symbol.h"

#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

const QString kTag = QStringLiteral("GeneralTabView");
const QString kLaunchAtLogin = QStringLiteral("launchAtLogin");
const QString kAutomaticUpdates = QStringLiteral("checkForUpdatesAutomatically");

QColor buttonForeground() {
    return Color::withOpacity(Color::labelColor(), 0.7);
}

QPushButton* borderedButton(const QString& symbol, const QString& text, const QString& toolTip) {
    auto* button = new QPushButton(text);
    button->setFont(SettingsStyle::font(13));
    if (!symbol.isEmpty())
        button->setIcon(Symbol::icon(symbol, &buttonForeground));
    button->setToolTip(toolTip);
    button->setAutoDefault(false);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    SettingsStyle::followTextColor(button, &buttonForeground);
    return button;
}

} // namespace

GeneralTabView::GeneralTabView(QWidget* parent)
    : QWidget(parent) {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(SettingsStyle::sectionSpacing);

    m_launchAtLogin = new ToggleSettingView(
        QStringLiteral("Launch at login"),
        QStringLiteral("Automatically start Quillora when you log in to your computer"), kLaunchAtLogin, true,
        [this](bool value) {
            LaunchAtLoginManager::shared().setLaunchAtLogin(value);
            MainQueue::asyncAfter(
                500,
                [] {
                    debugLog(kTag, QStringLiteral("Launch at login is now %1")
                                       .arg(LaunchAtLoginManager::shared().isLaunchAtLoginEnabled()));
                },
                this);
        });
    m_showInDock = new ToggleSettingView(
        QStringLiteral("Show in Dock"), QStringLiteral("Show Quillora icon in the Dock"),
        QStringLiteral("showInDock"), true, [](bool value) { DockIconManager::updateShowInDock(value); });
    m_alwaysOnTop = new ToggleSettingView(
        QStringLiteral("Always on Top"), QStringLiteral("Keep the menu bar on top of other windows"),
        QStringLiteral("alwaysOnTop"), false,
        [](bool value) { FloatingBarNotificationService::postAlwaysOnTopChanged(value); });
    auto* startup = new QWidget;
    auto* startupLayout = new QVBoxLayout(startup);
    startupLayout->setContentsMargins(0, 0, 0, 0);
    startupLayout->addWidget(m_launchAtLogin);
    startupLayout->addWidget(m_showInDock);
    startupLayout->addWidget(m_alwaysOnTop);
    root->addWidget(new SettingsSectionView(QStringLiteral("Startup"), startup, this));

    m_automaticUpdates = new ToggleSettingView(
        QStringLiteral("Check for updates automatically"),
        QStringLiteral("Quillora will periodically check for new versions"), kAutomaticUpdates, true,
        [](bool value) {
            if (UpdateChecks* updates = UpdateChecks::installed())
                updates->setAutomaticallyChecksForUpdates(value);
        });
    m_checkForUpdates = borderedButton(QStringLiteral("arrow.clockwise"), QStringLiteral("Check for Updates"),
                                       QStringLiteral("Check for available updates"));
    UpdateChecks* updates = UpdateChecks::installed();
    m_checkForUpdates->setEnabled(updates && updates->canCheckForUpdates());
    if (updates) {
        connect(updates, &UpdateChecks::canCheckForUpdatesChanged, m_checkForUpdates, &QWidget::setEnabled);
        connect(m_checkForUpdates, &QPushButton::clicked, updates, &UpdateChecks::checkForUpdates);
    }
    auto* checkPadding = new QWidget;
    auto* checkLayout = new QVBoxLayout(checkPadding);
    checkLayout->setContentsMargins(0, 5, 0, 0);
    checkLayout->addWidget(m_checkForUpdates, 0, Qt::AlignLeft);
    auto* updatesColumn = new QWidget;
    auto* updatesLayout = new QVBoxLayout(updatesColumn);
    updatesLayout->setContentsMargins(0, 0, 0, 0);
    updatesLayout->addWidget(m_automaticUpdates);
    updatesLayout->addWidget(checkPadding);
    root->addWidget(new SettingsSectionView(QStringLiteral("Updates"), updatesColumn, this));

    m_reset = borderedButton(QString(), QStringLiteral("Reset All Settings"),
                             QStringLiteral("Reset all settings to default values"));
    connect(m_reset, &QPushButton::clicked, this,
            [] { NotificationCenter::shared().post(Notifications::ShowResetAlert); });
    root->addWidget(m_reset, 0, Qt::AlignLeft);

    connect(&LaunchAtLoginManager::shared(), &LaunchAtLoginManager::launchAtLoginFailed, this,
            [this](bool, const QString& message) { reportFailure(message); });
}

GeneralTabView::~GeneralTabView() = default;

void GeneralTabView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        onAppear();
}

void GeneralTabView::onAppear() {
    LaunchAtLoginManager& login = LaunchAtLoginManager::shared();
    // The stored setting wins over the system's state.
    const bool bound = ToggleSettingView::storedValue(kLaunchAtLogin, true);
    if (login.isLaunchAtLoginEnabled() != bound)
        login.setLaunchAtLogin(bound);

    if (!m_hasInitialized) {
        UserDefaults& defaults = UserDefaults::standard();
        if (!defaults.contains(kLaunchAtLogin)) {
            defaults.set(kLaunchAtLogin, true);
            login.setLaunchAtLogin(true);
        }
        m_hasInitialized = true;
    }

    if (UpdateChecks* updates = UpdateChecks::installed())
        updates->setAutomaticallyChecksForUpdates(ToggleSettingView::storedValue(kAutomaticUpdates, true));
}

void GeneralTabView::reportFailure(const QString& message) {
    // One message at a time: a second failure of the same change replaces the text.
    if (m_failureAlert && m_failureAlert->isVisible()) {
        m_failureAlert->setText(message);
        return;
    }
    auto* alert = new QMessageBox(QMessageBox::Warning, QStringLiteral("Launch at login"), message,
                                  QMessageBox::Ok, window());
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    m_failureAlert = alert;
    alert->open();
}

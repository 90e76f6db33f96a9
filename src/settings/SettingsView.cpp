#include "settings/SettingsView.h"

#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/UserDefaults.h"
#include "settings/SettingsManager.h"
#include "settings/SettingsTabBar.h"
#include "settings/TabContentView.h"
#include "ui/Color.h"
#include "ui/ScreenFit.h"

#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

SettingsView::TabFactory& shortcutsFactory() {
    static SettingsView::TabFactory factory;
    return factory;
}

} // namespace

void SettingsView::setShortcutsTabFactory(TabFactory factory) {
    shortcutsFactory() = std::move(factory);
}

const SettingsView::TabFactory& SettingsView::shortcutsTabFactory() {
    return shortcutsFactory();
}

SettingsView::SettingsView(QWidget* parent)
    : QWidget(parent)
    , m_tabBar(new SettingsTabBar(this)) {
    setFixedSize(viewWidth, viewHeight);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_tabBar);
    connect(m_tabBar, &SettingsTabBar::tabClicked, this, &SettingsView::setSelectedTab);
    setSelectedTab(General);

    NotificationCenter::shared().addObserver(Notifications::ShowResetAlert, this,
                                             [this](const QVariantMap&) { presentResetAlert(); });
}

SettingsView::~SettingsView() = default;

void SettingsView::setSelectedTab(int index) {
    if (index == m_selectedTab && m_content)
        return;
    m_selectedTab = index;
    m_tabBar->setSelectedTab(index);
    auto* content = new TabContentView(index, this);
    content->setFixedHeight(minimumHeight() - SettingsTabBar::barHeight);
    if (m_content) {
        delete layout()->replaceWidget(m_content, content);
        // The click that led here may come from inside the old content.
        m_content->hide();
        m_content->deleteLater();
    } else {
        layout()->addWidget(content);
    }
    m_content = content;
    if (isVisible())
        content->show();
}

void SettingsView::fitInto(const QRect& area) {
    const QSize size = ScreenFit::windowSize(QSize(viewWidth, viewHeight), area);
    setFixedSize(size);
    m_content->setFixedHeight(size.height() - SettingsTabBar::barHeight);
}

void SettingsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        SettingsManager::shared().applyInitialSettings();
}

void SettingsView::presentResetAlert() {
    if (m_resetAlert)
        return;
    auto* alert = new QMessageBox(this);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    alert->setIcon(QMessageBox::NoIcon);
    alert->setWindowTitle(QStringLiteral("Reset All Settings"));
    alert->setText(QStringLiteral("<b>Reset All Settings</b>"));
    alert->setInformativeText(QStringLiteral("This will reset all settings to their default values."));
    QPushButton* reset = alert->addButton(QStringLiteral("Reset"), QMessageBox::DestructiveRole);
    reset->setObjectName(QStringLiteral("reset"));
    reset->setStyleSheet(QStringLiteral("color: %1;").arg(Color::red().name()));
    QPushButton* cancel = alert->addButton(QMessageBox::Cancel);
    cancel->setIcon(QIcon());
    // Room for the title on one line.
    alert->setStyleSheet(QStringLiteral("QLabel { min-width: 300px; }"));
    alert->setDefaultButton(cancel);
    alert->setEscapeButton(cancel);
    connect(alert, &QMessageBox::buttonClicked, this, [this, reset](QAbstractButton* clicked) {
        if (clicked == reset)
            resetAllSettings();
    });
    m_resetAlert = alert;
    alert->open();
}

void SettingsView::resetAllSettings() {
    SettingsManager::shared().resetAllSettings();
    UserDefaults& defaults = UserDefaults::standard();
    defaults.set(QStringLiteral("interfaceLanguage"), QStringLiteral("en"));
    defaults.set(QStringLiteral("showInDock"), true);
    defaults.set(QStringLiteral("alwaysOnTop"), false);
}

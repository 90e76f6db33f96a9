#include "settings/FloatingBarTabView.h"

#include "selection/ExcludedAppsManager.h"
#include "services/FloatingBarNotificationService.h"
#include "settings/AppSelectorView.h"
#include "settings/ServicePickerRow.h"
#include "settings/SettingsSectionView.h"
#include "settings/SettingsStyle.h"
#include "settings/SymbolTextButton.h"
#include "settings/ToggleSettingView.h"
#include "settings/ToggleSwitch.h"
#include "ui/Color.h"
#include "ui/RoundedBox.h"
#include "ui/StateReport.h"
#include "ui/Symbol.h"
#include "ui/SymbolButton.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QScrollArea>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

const QString kShowFloatingBar = QStringLiteral("showFloatingBar");
// One excluded application: its identifier and a remove button.
class ExcludedAppRow : public RoundedBoxWidget {
public:
    ExcludedAppRow(const QString& bundleIdentifier, std::function<void()> remove, QWidget* parent)
        : RoundedBoxWidget(4, &SettingsStyle::rowFill, {}, parent) {
        setObjectName(QStringLiteral("excludedAppRow"));
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(12, 6, 12, 6);
        auto* idLabel = new QLabel(bundleIdentifier, this);
        idLabel->setObjectName(QStringLiteral("bundleIdentifier"));
        idLabel->setFont(SettingsStyle::font(14));
        SettingsStyle::followTextColor(idLabel, &Color::labelColor);
        row->addWidget(idLabel);
        row->addStretch(1);
        const int side = Symbol::pixelSize(14);
        auto* removeButton = new SymbolButton(QStringLiteral("xmark.circle.fill"), 14,
                                              &Color::secondaryLabelColor, QSize(side, side), this);
        removeButton->setObjectName(QStringLiteral("remove"));
        removeButton->setAccessibleName(QStringLiteral("Remove %1").arg(bundleIdentifier));
        removeButton->setCursor(Qt::PointingHandCursor);
        connect(removeButton, &QAbstractButton::clicked, this, std::move(remove));
        row->addWidget(removeButton);
    }
};

// The picker's sheet. Only Cancel or Ctrl+Escape dismiss it from the keyboard, not Escape alone.
class SheetDialog : public QDialog {
public:
    using QDialog::QDialog;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
            event->accept();
            return;
        }
        QDialog::keyPressEvent(event);
    }
};

QWidget* column(int spacing, const QList<QWidget*>& children, QWidget* parent) {
    auto* widget = new QWidget(parent);
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    for (QWidget* child : children)
        layout->addWidget(child);
    return widget;
}

} // namespace

FloatingBarTabView::FloatingBarTabView(QWidget* parent)
    : QWidget(parent) {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(SettingsStyle::sectionSpacing);

    // Behavior.
    m_showFloatingBar = new ToggleSettingView(
        QStringLiteral("Show Floating Bar"),
        QStringLiteral("Display a floating bar when you select text in any application"), kShowFloatingBar,
        true, [](bool value) { FloatingBarNotificationService::postVisibilityChanged(value); });
    root->addWidget(new SettingsSectionView(QStringLiteral("Behavior"), m_showFloatingBar, this));
    StateReport::followPlace(m_showFloatingBar->toggle(), "show floating bar switch");

    // Translation Settings.
    auto* serviceRow =
        new ServicePickerRow(QStringLiteral("Default Translation Model"),
                             QStringLiteral("floatingBarTranslationService"), QMargins(0, 6, 0, 6));
    m_servicePicker = serviceRow->picker();
    root->addWidget(new SettingsSectionView(QStringLiteral("Translation Settings"),
                                            column(10, {serviceRow}, nullptr), this));

    // Excluded Applications.
    auto* note = new QLabel(
        QStringLiteral("The floating bar will not appear when selecting text in these applications"));
    note->setFont(SettingsStyle::font(14));
    note->setWordWrap(true);
    SettingsStyle::followTextColor(note, &Color::secondaryLabelColor);

    m_listBox = new RoundedBoxWidget(8, &SettingsStyle::boxFill, &SettingsStyle::boxBorder);
    m_listBox->setFixedHeight(listBoxHeight);
    auto* boxLayout = new QVBoxLayout(m_listBox);
    boxLayout->setContentsMargins(0, 0, 0, 0);
    m_emptyLabel = new QLabel(m_listBox);
    m_emptyLabel->setWordWrap(true);
    m_emptyLabel->setFont(SettingsStyle::font(14));
    m_emptyLabel->setAlignment(Qt::AlignCenter);
    SettingsStyle::followTextColor(m_emptyLabel, &Color::secondaryLabelColor);
    boxLayout->addWidget(m_emptyLabel);
    m_listArea = new QScrollArea(m_listBox);
    m_listArea->setFrameShape(QFrame::NoFrame);
    m_listArea->setWidgetResizable(true);
    m_listArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_listArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_listArea->setStyleSheet(
        QStringLiteral("QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }"));
    boxLayout->addWidget(m_listArea);

    auto* add = new SymbolTextButton(QStringLiteral("plus.circle.fill"), QStringLiteral("Add Application"),
                                     SettingsStyle::font(14, QFont::Medium), 14, &SettingsStyle::blue);
    add->setVerticalPadding(8);
    m_addButton = add;
    connect(add, &QAbstractButton::clicked, this, &FloatingBarTabView::presentAppSelector);

    auto* excluded = column(10, {note, m_listBox, add}, nullptr);
    excluded->layout()->setAlignment(add, Qt::AlignLeft);
    root->addWidget(new SettingsSectionView(QStringLiteral("Excluded Applications"), excluded, this));

    rebuildList();
}

FloatingBarTabView::~FloatingBarTabView() = default;

QList<QAbstractButton*> FloatingBarTabView::removeButtons() const {
    QList<QAbstractButton*> buttons;
    if (QWidget* rows = m_listArea->widget()) {
        for (QWidget* row : rows->findChildren<QWidget*>(QStringLiteral("excludedAppRow")))
            buttons.append(row->findChild<QAbstractButton*>(QStringLiteral("remove")));
    }
    return buttons;
}

AppSelectorView* FloatingBarTabView::appSelector() const {
    return m_sheet ? m_sheet->findChild<AppSelectorView*>() : nullptr;
}

void FloatingBarTabView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        reloadExcludedApps();
}

void FloatingBarTabView::reloadExcludedApps() {
    const QStringList apps = ExcludedAppsManager::loadExcludedApps();
    if (apps == m_excludedApps && m_listArea->widget())
        return;
    m_excludedApps = apps;
    rebuildList();
}

void FloatingBarTabView::removeExcludedApp(const QString& bundleIdentifier) {
    ExcludedAppsManager::removeExcludedApp(bundleIdentifier);
    reloadExcludedApps();
}

void FloatingBarTabView::addExcludedApp(const QString& bundleIdentifier) {
    ExcludedAppsManager::addExcludedApp(bundleIdentifier);
    reloadExcludedApps();
    if (m_sheet)
        m_sheet->close();
    // The store refuses what it could not keep: say why rather than close silently.
    if (!m_excludedApps.contains(bundleIdentifier)) {
        const QString why = ExcludedAppsManager::isStoredListUnreadable()
                                ? QStringLiteral("the stored list of excluded applications cannot be read, and "
                                                 "Quillora leaves it as it is.")
                                : QStringLiteral("its identifier contains a comma.");
        auto* message = new QMessageBox(
            QMessageBox::Warning, QStringLiteral("Application not excluded"),
            QStringLiteral("%1 cannot be added to the excluded applications: %2").arg(bundleIdentifier, why),
            QMessageBox::Ok, window());
        message->setAttribute(Qt::WA_DeleteOnClose);
        message->setWindowModality(Qt::WindowModal);
        message->open();
    }
}

void FloatingBarTabView::presentAppSelector() {
    if (m_sheet) {
        m_sheet->raise();
        m_sheet->activateWindow();
        return;
    }
    auto* sheet = new SheetDialog(window());
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setWindowTitle(QStringLiteral("Select Application"));
    sheet->setFixedSize(AppSelectorView::sheetSize);
    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* selector = new AppSelectorView(
        [this](const QString& bundleIdentifier) { addExcludedApp(bundleIdentifier); }, sheet);
    layout->addWidget(selector);
    connect(selector, &AppSelectorView::dismissRequested, sheet, &QDialog::close);
    m_sheet = sheet;
    if (QWidget* host = window()) {
        const QRect frame = host->geometry();
        sheet->move(frame.center().x() - sheet->width() / 2, frame.top() + 40);
    }
    sheet->show();
}

void FloatingBarTabView::rebuildList() {
    m_emptyLabel->setText(ExcludedAppsManager::isStoredListUnreadable()
                              ? QStringLiteral("The stored list of excluded applications cannot be read")
                              : QStringLiteral("No applications excluded"));
    m_emptyLabel->setVisible(m_excludedApps.isEmpty());
    m_listArea->setVisible(!m_excludedApps.isEmpty());
    auto* rows = new QWidget;
    auto* layout = new QVBoxLayout(rows);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(8);
    for (const QString& bundleIdentifier : m_excludedApps) {
        layout->addWidget(new ExcludedAppRow(
            bundleIdentifier, [this, bundleIdentifier] { removeExcludedApp(bundleIdentifier); }, rows));
    }
    layout->addStretch(1);
    // The previous rows may be the sender of the click that led here.
    if (QWidget* previous = m_listArea->takeWidget())
        previous->deleteLater();
    m_listArea->setWidget(rows);
}

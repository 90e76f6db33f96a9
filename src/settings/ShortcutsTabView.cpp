#include "settings/ShortcutsTabView.h"

#include "ui/MenuPicker.h"
#include "keyboardshortcuts/Recorder.h"
#include "ui/Color.h"
#include "ui/Symbol.h"
#include "platform/UserDefaults.h"
#include "services/TranslationService.h"
#include "settings/SettingsSectionView.h"
#include "settings/SettingsStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

const QString kService = QStringLiteral("shortcutTranslationService");

QString storedService() {
    return UserDefaults::standard().optionalString(kService).value_or(QStringLiteral("google"));
}

QWidget* column(int spacing, const QList<QWidget*>& rows) {
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    for (QWidget* row : rows)
        layout->addWidget(row);
    return content;
}

QLabel* label(const QString& text, int size, QWidget* parent,
              Symbol::ColorProvider color = &Color::labelColor) {
    auto* result = new QLabel(text, parent);
    result->setFont(SettingsStyle::font(size));
    SettingsStyle::followTextColor(result, color);
    return result;
}

} // namespace

ShortcutsTabView::ShortcutsTabView(QWidget* parent)
    : QWidget(parent) {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(SettingsStyle::sectionSpacing);

    const std::pair<QString, QString> rows[] = {
        {QStringLiteral("Show/Hide MenuBar"), QStringLiteral("toggleMenuBar")},
        {QStringLiteral("Translate Selection"), QStringLiteral("translateSelection")},
        {QStringLiteral("Translate and Replace Selection"), QStringLiteral("translateAndReplace")},
        {QStringLiteral("Capture Screen (OCR)"), QStringLiteral("startOCR")},
    };
    QList<QWidget*> shortcutRows;
    for (const auto& [title, name] : rows) {
        auto* row = new QWidget;
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 6, 0, 6);
        layout->addWidget(label(title, 15, row));
        layout->addStretch(1);
        auto* recorder = new KeyboardShortcuts::Recorder(KeyboardShortcuts::Name(name), {}, row);
        recorder->setObjectName(name);
        recorder->setFixedWidth(recorderWidth);
        layout->addWidget(recorder);
        m_recorders.append(recorder);
        shortcutRows.append(row);
    }
    root->addWidget(
        new SettingsSectionView(QStringLiteral("Global Shortcuts"), column(16, shortcutRows), this));

    auto* serviceRow = new QWidget;
    auto* serviceLayout = new QHBoxLayout(serviceRow);
    serviceLayout->setContentsMargins(0, 0, 0, 0);
    serviceLayout->addWidget(label(QStringLiteral("Translation Service"), 15, serviceRow));
    serviceLayout->addStretch(1);
    QList<MenuPicker::Row> services;
    for (TranslationService service : allTranslationServices())
        services.append({displayName(service), rawValue(service)});
    m_servicePicker = new MenuPicker(services, 180, serviceRow);
    m_servicePicker->setFont(SettingsStyle::font(14));
    m_servicePicker->setValue(storedService());
    serviceLayout->addWidget(m_servicePicker);
    connect(m_servicePicker, &MenuPicker::valueChosen, this,
            [](const QString& value) { UserDefaults::standard().set(kService, value); });
    connect(&UserDefaults::standard(), &UserDefaults::changed, this, [this](const QString& key) {
        if (key == kService)
            m_servicePicker->setValue(storedService());
    });
    root->addWidget(new SettingsSectionView(QStringLiteral("Default Translation Model for Shortcuts"),
                                            column(16, {serviceRow}), this));

    auto* note = new QWidget;
    auto* noteLayout = new QHBoxLayout(note);
    noteLayout->setContentsMargins(0, 10, 0, 0);
    auto* icon = new QLabel(note);
    const int iconSize = 14;
    icon->setFixedSize(iconSize + 2, iconSize + 2);
    icon->setPixmap(Symbol::pixmap(QStringLiteral("info.circle"), QSize(iconSize, iconSize),
                                   SettingsStyle::blue(), devicePixelRatioF()));
    noteLayout->addWidget(icon);
    noteLayout->addWidget(
        label(QStringLiteral("Shortcuts require accessibility permissions to function properly."), 14, note,
              &Color::secondaryLabelColor));
    noteLayout->addStretch(1);
    root->addWidget(note);
    root->addStretch(1);
}

#include "settings/ServicePickerRow.h"

#include "platform/UserDefaults.h"
#include "services/TranslationService.h"
#include "settings/SettingsStyle.h"
#include "ui/Color.h"
#include "ui/MenuPicker.h"

#include <QHBoxLayout>
#include <QLabel>

namespace {

QString storedService(const QString& key) {
    return UserDefaults::standard().optionalString(key).value_or(QStringLiteral("google"));
}

} // namespace

ServicePickerRow::ServicePickerRow(const QString& title, const QString& key, QMargins margins,
                                   QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(margins);
    auto* label = new QLabel(title, this);
    label->setFont(SettingsStyle::font(15));
    SettingsStyle::followTextColor(label, &Color::labelColor);
    layout->addWidget(label);
    layout->addStretch(1);
    QList<MenuPicker::Row> services;
    for (TranslationService service : allTranslationServices())
        services.append({displayName(service), rawValue(service)});
    m_picker = new MenuPicker(services, 180, this);
    m_picker->setFont(SettingsStyle::font(14));
    m_picker->setValue(storedService(key));
    layout->addWidget(m_picker);
    connect(m_picker, &MenuPicker::valueChosen, this,
            [key](const QString& value) { UserDefaults::standard().set(key, value); });
    connect(&UserDefaults::standard(), &UserDefaults::changed, this, [this, key](const QString& changed) {
        if (changed == key)
            m_picker->setValue(storedService(key));
    });
}

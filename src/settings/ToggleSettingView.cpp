#include "settings/ToggleSettingView.h"

#include "platform/UserDefaults.h"
#include "settings/SettingsStyle.h"
#include "settings/ToggleSwitch.h"
#include "ui/Color.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

ToggleSettingView::ToggleSettingView(const QString& title, const QString& description, const QString& key,
                                     bool defaultValue, OnChange onChange, QWidget* parent)
    : QWidget(parent)
    , m_key(key)
    , m_default(defaultValue)
    , m_value(storedValue(key, defaultValue))
    , m_onChange(std::move(onChange))
    , m_switch(new ToggleSwitch(this))
    , m_title(new QLabel(title, this))
    , m_description(new QLabel(description, this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 6, 0, 6);
    layout->setSpacing(6);

    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    m_title->setFont(SettingsStyle::font(15));
    SettingsStyle::followTextColor(m_title, &Color::labelColor);
    m_title->setBuddy(m_switch);
    row->addWidget(m_title);
    row->addWidget(m_switch);
    row->addStretch(1);
    layout->addLayout(row);

    m_description->setFont(SettingsStyle::font(13));
    m_description->setWordWrap(true);
    SettingsStyle::followTextColor(m_description, &Color::secondaryLabelColor);
    layout->addWidget(m_description);

    m_switch->setChecked(m_value);
    m_switch->setAccessibleName(title);
    connect(m_switch, &ToggleSwitch::clicked, this,
            [this](bool checked) { UserDefaults::standard().set(m_key, checked); });
    connect(&UserDefaults::standard(), &UserDefaults::changed, this, [this](const QString& changed) {
        if (changed == m_key)
            sync();
    });
}

bool ToggleSettingView::storedValue(const QString& key, bool defaultValue) {
    const UserDefaults& defaults = UserDefaults::standard();
    return defaults.object(key).isValid() ? defaults.boolean(key) : defaultValue;
}

void ToggleSettingView::sync() {
    const bool value = storedValue(m_key, m_default);
    m_switch->setChecked(value);
    if (value == m_value)
        return;
    m_value = value;
    if (!m_onChange || m_inChangeAction)
        return;
    // The action may close the window this row lives in.
    const OnChange action = m_onChange;
    const QPointer<ToggleSettingView> self(this);
    m_inChangeAction = true;
    action(value);
    if (self)
        m_inChangeAction = false;
}

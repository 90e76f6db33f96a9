#include "settings/SettingsSectionView.h"

#include "settings/SettingsStyle.h"

#include <QLabel>
#include <QVBoxLayout>

SettingsSectionView::SettingsSectionView(const QString& title, QWidget* content, QWidget* parent)
    : QWidget(parent)
    , m_title(new QLabel(title, this))
    , m_content(content) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    m_title->setFont(SettingsStyle::font(16, QFont::DemiBold));
    SettingsStyle::followTextColor(m_title, &SettingsStyle::titleColor);
    layout->addWidget(m_title, 0, Qt::AlignLeft);
    layout->addWidget(m_content);
}

QString SettingsSectionView::title() const {
    return m_title->text();
}

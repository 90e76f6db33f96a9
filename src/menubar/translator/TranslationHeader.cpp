#include "menubar/translator/TranslationHeader.h"

#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "ui/StateReport.h"
#include "ui/SymbolButton.h"
#include "ui/SystemFont.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>

TranslationHeader::TranslationHeader(QWidget* parent)
    : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    auto* title = new QLabel(QStringLiteral("Quillora"), this);
    title->setFont(systemFont(18, QFont::DemiBold));
    Theme::followAppearance(title, [title] {
        QPalette palette = title->palette();
        palette.setColor(QPalette::WindowText, Theme::primaryText());
        title->setPalette(palette);
    });
    row->addWidget(title);
    row->addStretch(1);

    m_history = iconButton(QStringLiteral("clock.arrow.circlepath"), QStringLiteral("Translation History"),
                           Notifications::OpenHistoryWindow);
    m_favorites = iconButton(QStringLiteral("bookmark"), QStringLiteral("Saved Translations"),
                             Notifications::OpenFavoritesWindow);
    m_settings = iconButton(QStringLiteral("gearshape.fill"), QStringLiteral("Settings"),
                            Notifications::OpenSettingsWindow);
    for (SymbolButton* button : {m_history, m_favorites, m_settings})
        row->addWidget(button);
    StateReport::followPlace(m_history, "history button");
    StateReport::followPlace(m_favorites, "favorites button");
    StateReport::followPlace(m_settings, "settings button");
}

SymbolButton* TranslationHeader::iconButton(const QString& symbol, const QString& toolTip,
                                            const QString& notification) {
    auto* button = new SymbolButton(symbol, 15, {}, QSize(buttonSide, buttonSide), this);
    QPointer<SymbolButton> guard(button);
    // Only the symbol's colour answers the pointer; the square stays clear.
    button->setColor(
        [guard] { return guard && guard->underMouse() ? Theme::primaryText() : Theme::secondaryText(); });
    button->setAttribute(Qt::WA_Hover);
    button->setToolTip(toolTip);
    connect(button, &QAbstractButton::clicked, this,
            [notification] { NotificationCenter::shared().post(notification); });
    return button;
}

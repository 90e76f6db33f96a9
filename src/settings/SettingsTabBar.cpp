#include "settings/SettingsTabBar.h"

#include "settings/SettingsStyle.h"
#include "ui/Color.h"
#include "ui/RoundedBox.h"
#include "ui/Symbol.h"
#include "ui/Theme.h"
#include "ui/VisualEffectView.h"

#include <QHBoxLayout>
#include <QPainter>

namespace {

constexpr qreal iconPointSize = 16;
constexpr int titlePixelSize = 15;
constexpr int labelSpacing = 8;
constexpr int horizontalPadding = 16;
constexpr qreal cornerRadius = 8;

} // namespace

SettingsTabButton::SettingsTabButton(const QString& title, const QString& symbol, QWidget* parent)
    : QAbstractButton(parent)
    , m_symbol(symbol) {
    setText(title);
    setAccessibleName(title);
    setFont(SettingsStyle::font(titlePixelSize, QFont::Medium));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFocusPolicy(Qt::NoFocus);
    Theme::followAppearance(this, [this] { update(); });
}

void SettingsTabButton::setSelected(bool selected) {
    if (selected == m_selected)
        return;
    m_selected = selected;
    update();
}

QColor SettingsTabButton::labelColor() const {
    const bool dark = Theme::dark();
    if (m_selected)
        return dark ? QColor(Qt::white) : Color::accentColor();
    return dark ? Color::withOpacity(Qt::white, 0.8) : Color::withOpacity(Qt::black, 0.7);
}

QColor SettingsTabButton::selectionBackground() const {
    if (!m_selected)
        return Qt::transparent;
    return Color::withOpacity(Color::accentColor(), Theme::dark() ? 0.7 : 0.2);
}

QColor SettingsTabButton::pressedBackground() const {
    if (!isDown())
        return Qt::transparent;
    return Color::withOpacity(Color::accentColor(), Theme::dark() ? 0.4 : 0.1);
}

QSize SettingsTabButton::sizeHint() const {
    const int icon = Symbol::pixelSize(iconPointSize);
    return {horizontalPadding + icon + labelSpacing + fontMetrics().horizontalAdvance(text()) +
                horizontalPadding,
            buttonHeight};
}

void SettingsTabButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintRoundedBox(painter, QRectF(rect()), cornerRadius, pressedBackground());
    paintRoundedBox(painter, QRectF(rect()), cornerRadius, selectionBackground());

    const QColor color = labelColor();
    const int icon = Symbol::pixelSize(iconPointSize);
    const QRect iconRect(horizontalPadding, (buttonHeight - icon) / 2, icon, icon);
    painter.drawPixmap(iconRect, Symbol::pixmap(m_symbol, iconRect.size(), color, devicePixelRatioF()));
    painter.setPen(color);
    painter.setFont(font());
    const QRect textRect(iconRect.right() + 1 + labelSpacing, 0, width(), buttonHeight);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, text());
}

const QList<SettingsTabBar::Tab>& SettingsTabBar::tabs() {
    static const QList<Tab> table = {
        {QStringLiteral("General"), QStringLiteral("gear")},
        {QStringLiteral("Floating Bar"), QStringLiteral("filemenu.and.cursorarrow")},
        {QStringLiteral("Shortcuts"), QStringLiteral("command")},
        {QStringLiteral("About"), QStringLiteral("info.circle")},
    };
    return table;
}

SettingsTabBar::SettingsTabBar(QWidget* parent)
    : QWidget(parent) {
    setFixedHeight(barHeight);
    Theme::followAppearance(this, [this] { update(); });
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(20, 0, 20, 0);
    row->setSpacing(10);
    for (int i = 0; i < tabs().size(); ++i) {
        auto* button = new SettingsTabButton(tabs()[i].title, tabs()[i].icon, this);
        connect(button, &QAbstractButton::clicked, this, [this, i] { Q_EMIT tabClicked(i); });
        row->addWidget(button, 0, Qt::AlignVCenter);
        m_buttons.append(button);
    }
    row->addStretch(1);
}

void SettingsTabBar::paintEvent(QPaintEvent*) {
    // The window's material, opaque: the bar sits inside the window's own content.
    QPainter painter(this);
    painter.fillRect(rect(), VisualEffectView::fillColor(VisualEffectView::Material::Titlebar, false));
}

void SettingsTabBar::setSelectedTab(int index) {
    m_selectedTab = index;
    for (int i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setSelected(i == index);
}

#include "menubar/translator/SelectorButton.h"

#include "ui/SelectorFieldStyle.h"
#include "ui/Symbol.h"
#include "ui/Theme.h"

#include <QPainter>

SelectorButton::SelectorButton(QWidget* parent)
    : QAbstractButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    selectorFieldStyle(this);
}

void SelectorButton::setIcon(const QPixmap& icon) {
    // Owners set the same cached icon again on every refresh, a keystroke's included.
    if (icon.cacheKey() == m_icon.cacheKey())
        return;
    m_icon = icon;
    update();
}

QSize SelectorButton::sizeHint() const {
    const int chevron = Symbol::pixelSize(12);
    int width = fontMetrics().horizontalAdvance(text()) + 8 + chevron;
    if (!m_icon.isNull())
        width += iconSide + 2 + 6;
    return {width + 2 * SelectorFieldStyle::horizontalPadding, SelectorFieldStyle::height};
}

QSize SelectorButton::minimumSizeHint() const {
    return {2 * SelectorFieldStyle::horizontalPadding + Symbol::pixelSize(12) + 24,
            SelectorFieldStyle::height};
}

void SelectorButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect content = contentsRect();
    int x = content.left();
    if (!m_icon.isNull()) {
        painter.drawPixmap(QRect(x, content.center().y() - iconSide / 2 + 1, iconSide, iconSide), m_icon);
        x += iconSide + 2 + 6;
    }
    const int chevronSide = Symbol::pixelSize(12);
    const QRect chevron(content.right() - chevronSide + 1, content.center().y() - chevronSide / 2 + 1,
                        chevronSide, chevronSide);
    painter.drawPixmap(chevron,
                       Symbol::pixmap(QStringLiteral("chevron.down"), chevron.size(),
                                      Theme::buttonForeground(Theme::secondaryText(), isEnabled(), isDown()),
                                      devicePixelRatioF()));
    painter.setPen(Theme::buttonForeground(Theme::primaryText(), isEnabled(), isDown()));
    const QRect textRect(x, content.top(), chevron.left() - 8 - x, content.height());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(text(), Qt::ElideRight, textRect.width()));
}

#include "settings/SymbolTextButton.h"

#include "ui/Theme.h"

#include <QPainter>

SymbolTextButton::SymbolTextButton(const QString& symbol, const QString& text, const QFont& font,
                                   qreal iconPointSize, Symbol::ColorProvider color, QWidget* parent)
    : QAbstractButton(parent)
    , m_symbol(symbol)
    , m_iconPointSize(iconPointSize)
    , m_color(std::move(color)) {
    setText(text);
    setAccessibleName(text);
    setFont(font);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    Theme::followAppearance(this, [this] { update(); });
}

void SymbolTextButton::setImage(const QPixmap& image) {
    m_image = image;
    updateGeometry();
    update();
}

void SymbolTextButton::setSpacing(int spacing) {
    m_spacing = spacing;
    updateGeometry();
}

void SymbolTextButton::setVerticalPadding(int padding) {
    m_verticalPadding = padding;
    updateGeometry();
}

QColor SymbolTextButton::color() const {
    return m_color ? m_color() : Theme::primaryText();
}

QSize SymbolTextButton::iconSize() const {
    if (!m_image.isNull())
        return m_image.deviceIndependentSize().toSize();
    const int side = Symbol::pixelSize(m_iconPointSize);
    return {side, side};
}

QSize SymbolTextButton::sizeHint() const {
    const QSize icon = iconSize();
    const int width = icon.width() + m_spacing + fontMetrics().horizontalAdvance(text()) + 2;
    return {width, qMax(icon.height(), fontMetrics().height()) + 2 * m_verticalPadding};
}

void SymbolTextButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor color = Theme::buttonForeground(this->color(), isEnabled(), isDown());
    const QSize icon = iconSize();
    const QRect iconRect(QPoint(0, (height() - icon.height()) / 2), icon);
    if (!m_image.isNull()) {
        painter.setOpacity(isDown() ? 0.6 : 1.0);
        painter.drawPixmap(iconRect, m_image);
        painter.setOpacity(1.0);
    } else {
        painter.drawPixmap(iconRect, Symbol::pixmap(m_symbol, icon, color, devicePixelRatioF()));
    }
    painter.setPen(color);
    painter.setFont(font());
    painter.drawText(QRect(iconRect.right() + 1 + m_spacing, 0, width(), height()),
                     Qt::AlignLeft | Qt::AlignVCenter, text());
}

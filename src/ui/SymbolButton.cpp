#include "ui/SymbolButton.h"

#include "ui/Theme.h"

#include <QPainter>

SymbolButton::SymbolButton(const QString& symbol, qreal pointSize, Symbol::ColorProvider color, QSize frame,
                           QWidget* parent)
    : QAbstractButton(parent)
    , m_symbol(symbol)
    , m_pointSize(pointSize)
    , m_color(std::move(color))
    , m_frame(frame) {
    setFixedSize(frame);
    setFocusPolicy(Qt::NoFocus);
    Theme::followAppearance(this, [this] { update(); });
}

void SymbolButton::setSymbol(const QString& symbol) {
    if (symbol == m_symbol)
        return;
    m_symbol = symbol;
    update();
}

void SymbolButton::setColor(Symbol::ColorProvider color) {
    m_color = std::move(color);
    update();
}

void SymbolButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor color = Theme::buttonForeground(m_color ? m_color() : Theme::primaryText(), isEnabled(), isDown());
    const int side = Symbol::pixelSize(m_pointSize);
    const QRect target(QPoint((width() - side) / 2, (height() - side) / 2), QSize(side, side));
    painter.drawPixmap(target, Symbol::pixmap(m_symbol, target.size(), color, devicePixelRatioF()));
}

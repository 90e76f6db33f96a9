#include "menubar/translator/ActionBarButton.h"

#include "ui/Color.h"
#include "ui/DropShadow.h"
#include "ui/RoundedBox.h"
#include "ui/SystemFont.h"
#include "ui/Theme.h"

#include <QFontMetrics>
#include <QPainter>

ActionBarButton::ActionBarButton(const QString& symbol, QSize frame, QWidget* parent)
    : QAbstractButton(parent)
    , m_symbol(symbol)
    , m_frame(frame) {
    setFixedSize(frame);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
    DropShadow::attach(this, Theme::mediumShadow(),
                       [this] { return Theme::fieldFill().alphaF() * (m_hovering ? hoverOpacity : 1.0); });
    Theme::followAppearance(this, [this] { update(); });
}

void ActionBarButton::setSymbol(const QString& symbol) {
    if (symbol == m_symbol)
        return;
    m_symbol = symbol;
    update();
}

void ActionBarButton::setSymbolColor(Symbol::ColorProvider color) {
    m_symbolColor = std::move(color);
    update();
}

void ActionBarButton::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
    m_hovering = true;
    update();
}

void ActionBarButton::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    m_hovering = false;
    update();
}

void ActionBarButton::paintOutline(QPainter& painter, const QRectF& box) {
    paintRoundedBox(painter, box, Theme::cornerRadius, Qt::NoBrush,
                    QPen(Theme::border(), Theme::borderWidth));
}

void ActionBarButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF box = QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25);
    const QColor fill = Theme::fieldFill();
    paintRoundedBox(painter, box, Theme::cornerRadius,
                    m_hovering ? Color::withOpacity(fill, hoverOpacity) : fill);

    const bool enabled = isEnabled();
    const QColor symbolColor =
        Theme::buttonForeground(m_symbolColor ? m_symbolColor() : Theme::primaryText(), enabled, isDown());
    const QColor titleColor = Theme::buttonForeground(Theme::primaryText(), enabled, isDown());
    const int side = Symbol::pixelSize(symbolPointSize);
    const QFont font = systemFont(titlePixelSize, QFont::Medium);
    const int titleWidth = text().isEmpty() ? 0 : QFontMetrics(font).horizontalAdvance(text());
    const int symbolWidth = m_symbol.isEmpty() ? 0 : side;
    const int gap = symbolWidth > 0 && titleWidth > 0 ? itemSpacing : 0;
    int x = (width() - (symbolWidth + gap + titleWidth)) / 2;
    if (symbolWidth > 0) {
        const QRect target(x, (height() - side) / 2, side, side);
        painter.drawPixmap(target, Symbol::pixmap(m_symbol, target.size(), symbolColor, devicePixelRatioF()));
        x += side + gap;
    }
    if (titleWidth > 0) {
        painter.setFont(font);
        painter.setPen(titleColor);
        painter.drawText(QRect(x, 0, titleWidth + 1, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
    }
    paintOutline(painter, box);
}

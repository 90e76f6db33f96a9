#include "ui/TextButton.h"

#include "ui/Theme.h"

#include <QPainter>

TextButton::TextButton(const QString& text, Symbol::ColorProvider color, QWidget* parent)
    : QAbstractButton(parent)
    , m_color(std::move(color)) {
    setText(text);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    Theme::followAppearance(this, [this] { update(); });
}

QSize TextButton::sizeHint() const {
    return {fontMetrics().horizontalAdvance(text()) + 2, fontMetrics().height()};
}

void TextButton::setDisabledOpacity(qreal opacity) {
    m_disabledOpacity = opacity;
    update();
}

QColor TextButton::foregroundColor() const {
    QColor color = m_color ? m_color() : Theme::primaryText();
    if (!isEnabled() && m_disabledOpacity) {
        color.setAlphaF(float(color.alphaF() * *m_disabledOpacity));
        return color;
    }
    return Theme::buttonForeground(color, isEnabled(), isDown());
}

void TextButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(foregroundColor());
    painter.drawText(rect(), Qt::AlignCenter, text());
}

void TextButton::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
    Q_EMIT hoverChanged(true);
}

void TextButton::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    Q_EMIT hoverChanged(false);
}

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

void TextButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor color = Theme::buttonForeground(m_color ? m_color() : Theme::primaryText(), isEnabled(), isDown());
    painter.setPen(color);
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

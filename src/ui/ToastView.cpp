#include "ui/ToastView.h"

#include "ui/RoundedBox.h"
#include "ui/Symbol.h"
#include "ui/SystemFont.h"
#include "ui/Theme.h"

#include <QPainter>

ToastView::ToastView(QWidget* parent)
    : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFont(systemFont(11, QFont::Medium));
    Theme::applyShadow(this, {QColor(0, 0, 0, 51), 4, 0, 2});
}

void ToastView::setToast(const QString& message, const QString& icon, const QColor& color) {
    m_message = message;
    m_icon = Symbol::exists(icon) ? icon : QString();
    m_color = color;
    updateGeometry();
    resize(sizeHint());
    update();
}

void ToastView::setOpacity(qreal opacity) {
    m_opacity = opacity;
    update();
}

int ToastView::iconSide() const {
    return m_icon.isEmpty() ? 0 : Symbol::pixelSize(11);
}

QSize ToastView::sizeHint() const {
    int width = fontMetrics().horizontalAdvance(m_message);
    if (!m_icon.isEmpty())
        width += iconSide() + spacing;
    return {width + 2 * horizontalPadding, contentHeight + 2 * verticalPadding};
}

void ToastView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setOpacity(m_opacity);
    paintRoundedBox(painter, QRectF(rect()), cornerRadius, QColor(0, 0, 0, 77));

    int x = horizontalPadding;
    if (!m_icon.isEmpty()) {
        const int side = iconSide();
        const QRect iconRect(x, (height() - side) / 2, side, side);
        painter.drawPixmap(iconRect, Symbol::pixmap(m_icon, iconRect.size(), m_color, devicePixelRatioF()));
        x += side + spacing;
    }
    painter.setPen(Qt::white);
    painter.drawText(QRect(x, 0, width() - x - horizontalPadding, height()), Qt::AlignLeft | Qt::AlignVCenter,
                     m_message);
}

#include "ui/RoundedBox.h"

#include "ui/Theme.h"

#include <QPainter>
#include <QPainterPath>

void paintRoundedBox(QPainter& painter, const QRectF& rect, qreal radius, const QBrush& fill,
                     const QPen& border) {
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(rect, radius, radius);
    if (fill.style() != Qt::NoBrush)
        painter.fillPath(shape, fill);
    if (border.style() != Qt::NoPen)
        painter.strokePath(shape, border);
}

RoundedBoxWidget::RoundedBoxWidget(qreal radius, Symbol::ColorProvider fill, Symbol::ColorProvider border,
                                   QWidget* parent)
    : QWidget(parent)
    , m_radius(radius)
    , m_fill(std::move(fill))
    , m_border(std::move(border)) {
    Theme::followAppearance(this, [this] { update(); });
}

void RoundedBoxWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_border)
        paintRoundedBox(painter, QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), m_radius, m_fill(),
                        QPen(m_border(), 1));
    else
        paintRoundedBox(painter, QRectF(rect()), m_radius, m_fill());
}

#pragma once

#include "ui/Symbol.h"

#include <QBrush>
#include <QPen>
#include <QWidget>

class QPainter;

// Fills a rounded rectangle and outlines it along the same path, antialiased: the cards, fields, buttons
// and boxes of the interface. `rect` is the path itself, so a border of width w stays inside a widget when
// its rect is inset by w / 2 (a hairline of 0.5 by 0.25, a line of 1 by 0.5). Qt::NoBrush leaves out the
// fill, the default Qt::NoPen the outline; a radius of 0 gives square corners. The painter's pen and brush
// are left as they were, antialiasing switched on.
void paintRoundedBox(QPainter& painter, const QRectF& rect, qreal radius, const QBrush& fill,
                     const QPen& border = Qt::NoPen);

// A widget that paints a rounded box behind its children: the fill and, when a border colour is given, a
// one-pixel line just inside its edge. The colours are asked for at each paint, and an appearance switch
// repaints it.
class RoundedBoxWidget : public QWidget {
public:
    RoundedBoxWidget(qreal radius, Symbol::ColorProvider fill, Symbol::ColorProvider border = {},
                     QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal m_radius;
    Symbol::ColorProvider m_fill;
    Symbol::ColorProvider m_border;
};

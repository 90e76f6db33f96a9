#include "ui/SelectorFieldStyle.h"

#include "ui/DropShadow.h"
#include "ui/RoundedBox.h"
#include "ui/Theme.h"

#include <QEvent>
#include <QLayout>
#include <QPainter>
#include <QWidget>

void SelectorFieldStyle::apply(QWidget* widget) {
    if (!widget || widget->findChild<SelectorFieldStyle*>(QString(), Qt::FindDirectChildrenOnly))
        return;
    widget->setFixedHeight(height);
    widget->setContentsMargins(horizontalPadding, 0, horizontalPadding, 0);
    if (widget->layout())
        widget->layout()->setContentsMargins(0, 0, 0, 0);
    widget->installEventFilter(new SelectorFieldStyle(widget));
    DropShadow::attach(widget, Theme::mediumShadow(), [] { return Theme::fieldFill().alphaF(); });
    Theme::followAppearance(widget, [widget] { widget->update(); });
}

bool SelectorFieldStyle::eventFilter(QObject* watched, QEvent* event) {
    // Painting here runs inside the widget's paint event, before its own paintEvent draws on top.
    if (event->type() == QEvent::Paint) {
        auto* widget = static_cast<QWidget*>(watched);
        QPainter painter(widget);
        paintRoundedBox(painter, QRectF(widget->rect()).adjusted(0.25, 0.25, -0.25, -0.25),
                        Theme::cornerRadius, Theme::fieldFill(),
                        QPen(Theme::border(), Theme::borderWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    }
    return QObject::eventFilter(watched, event);
}

QWidget* selectorFieldStyle(QWidget* widget) {
    SelectorFieldStyle::apply(widget);
    return widget;
}

#include "menubar/translator/PrimaryButtonStyle.h"

#include "ui/Color.h"
#include "ui/DropShadow.h"
#include "ui/RoundedBox.h"
#include "ui/SystemFont.h"
#include "ui/Theme.h"

#include <QEvent>
#include <QPainter>
#include <QWidget>

void PrimaryButtonStyle::apply(QWidget* widget) {
    if (!widget || widget->findChild<PrimaryButtonStyle*>(QString(), Qt::FindDirectChildrenOnly))
        return;
    widget->setFixedHeight(Theme::buttonHeight);
    widget->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    widget->setFont(systemFont(15, QFont::Medium));
    widget->setAttribute(Qt::WA_Hover);
    widget->installEventFilter(new PrimaryButtonStyle(widget));
    DropShadow::attach(widget, Theme::smallShadow(),
                       [widget] { return Theme::accent().alphaF() * (isHovering(widget) ? hoverOpacity : 1.0); });
    Theme::followAppearance(widget, [widget] { widget->update(); });
}

bool PrimaryButtonStyle::isHovering(const QWidget* widget) {
    const auto* style =
        widget ? widget->findChild<PrimaryButtonStyle*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    return style && style->m_hovering;
}

bool PrimaryButtonStyle::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = static_cast<QWidget*>(watched);
    switch (event->type()) {
    case QEvent::Enter:
    case QEvent::HoverEnter:
        if (!m_hovering) {
            m_hovering = true;
            widget->update();
        }
        break;
    case QEvent::Leave:
    case QEvent::HoverLeave:
        if (m_hovering) {
            m_hovering = false;
            widget->update();
        }
        break;
    case QEvent::Paint: {
        QPainter painter(widget);
        paintRoundedBox(painter, QRectF(widget->rect()).adjusted(0.25, 0.25, -0.25, -0.25),
                        Theme::cornerRadius,
                        m_hovering ? Color::withOpacity(Theme::accent(), hoverOpacity) : Theme::accent(),
                        QPen(Theme::border(), Theme::borderWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

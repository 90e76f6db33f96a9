#include "menubar/translator/RowDivider.h"

#include "ui/Theme.h"

#include <QPainter>

RowDivider::RowDivider(int indent, QWidget* parent)
    : QWidget(parent)
    , m_indent(indent) {
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void RowDivider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect().adjusted(m_indent, 0, 0, 0), Theme::border());
}

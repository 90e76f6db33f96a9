#include "floatingbar/MenuPicker.h"

#include "menubar/look/Color.h"
#include "menubar/look/Symbol.h"
#include "menubar/look/Theme.h"

#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

MenuPicker::MenuPicker(const QList<Row>& rows, int width, QWidget* parent)
    : QComboBox(parent)
    , m_width(width) {
    for (const Row& row : rows)
        addItem(row.first, row.second);
    setFixedSize(width, fixedHeight);
    setFocusPolicy(Qt::NoFocus);
    setMaxVisibleItems(16);
    connect(this, &QComboBox::activated, this, [this](int index) {
        const QString chosen = itemData(index).toString();
        const QString previous = m_previousValue;
        m_previousValue = chosen;
        if (chosen != previous)
            Q_EMIT valueChosen(chosen);
    });
    m_previousValue = value();
    Theme::followAppearance(this, [this] { update(); });
}

QString MenuPicker::value() const {
    return currentData().toString();
}

void MenuPicker::setValue(const QString& value) {
    const QSignalBlocker blocker(this);
    // A value no row carries selects none (-1), rather than pretending to be a row the actions do not use.
    setCurrentIndex(findData(value));
    m_previousValue = value;
}

void MenuPicker::wheelEvent(QWheelEvent* event) {
    event->ignore();
}

QSize MenuPicker::sizeHint() const {
    return {m_width, fixedHeight};
}

void MenuPicker::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bezel = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(bezel, 5, 5);
    painter.fillPath(shape, Theme::dark() ? QColor(255, 255, 255, 26) : QColor(255, 255, 255, 230));
    painter.setPen(QPen(Theme::dark() ? QColor(255, 255, 255, 40) : QColor(0, 0, 0, 45), 1.0));
    painter.drawPath(shape);

    const int chevronSide = Symbol::pixelSize(10);
    const QRect chevron(width() - chevronSide - 5, (height() - chevronSide) / 2, chevronSide, chevronSide);
    painter.drawPixmap(chevron, Symbol::pixmap(QStringLiteral("chevron.up.chevron.down"), chevron.size(),
                                               Theme::primaryText(), devicePixelRatioF()));
    const QRect textRect = rect().adjusted(8, 0, -(chevronSide + 8), 0);
    painter.setPen(isEnabled() ? Theme::primaryText() : Theme::secondaryText());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(currentText(), Qt::ElideRight, textRect.width()));
}

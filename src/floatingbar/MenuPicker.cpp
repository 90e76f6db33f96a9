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
        if (m_hasStrayRow && index != 0)
            removeStrayRow(chosen);
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
    if (m_hasStrayRow && itemData(0).toString() != value)
        removeStrayRow(value);
    int index = findData(value);
    if (index < 0) {
        insertItem(0, value, value);
        m_hasStrayRow = true;
        index = 0;
    }
    setCurrentIndex(index);
    m_previousValue = value;
}

void MenuPicker::removeStrayRow(const QString& select) {
    const QSignalBlocker blocker(this);
    removeItem(0);
    m_hasStrayRow = false;
    const int index = findData(select);
    if (index >= 0)
        setCurrentIndex(index);
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

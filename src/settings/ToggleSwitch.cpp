#include "settings/ToggleSwitch.h"

#include "ui/Color.h"
#include "ui/RoundedBox.h"
#include "ui/Theme.h"

#include <QPainter>

ToggleSwitch::ToggleSwitch(QWidget* parent)
    : QAbstractButton(parent) {
    setCheckable(true);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setFixedSize(sizeHint());
    Theme::followAppearance(this, [this] { update(); });
}

void ToggleSwitch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = track.height() / 2;
    const bool dark = Theme::dark();

    QColor fill =
        isChecked() ? Color::accentColor() : (dark ? QColor(255, 255, 255, 46) : QColor(0, 0, 0, 26));
    if (!isEnabled())
        fill.setAlphaF(fill.alphaF() * 0.5f);
    paintRoundedBox(painter, track, radius, fill,
                    QPen(dark ? QColor(255, 255, 255, 30) : QColor(0, 0, 0, 30), 1));

    const qreal knob = track.height() - 4;
    const qreal x = isChecked() ? track.right() - 2 - knob : track.left() + 2;
    const QRectF knobRect(x, track.top() + 2, knob, knob);
    painter.setPen(QPen(QColor(0, 0, 0, isDown() ? 60 : 35), 0.5));
    painter.setBrush(isDown() ? QColor(235, 235, 235) : QColor(Qt::white));
    painter.drawEllipse(knobRect);

    if (hasFocus())
        paintRoundedBox(painter, track.adjusted(1, 1, -1, -1), radius - 1, Qt::NoBrush,
                        QPen(Color::withOpacity(Color::accentColor(), 0.5), 2));
}

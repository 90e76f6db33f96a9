#include "ui/ProgressSpinner.h"

#include "ui/Theme.h"

#include <QPainter>

namespace {
constexpr int spokes = 12;
}

ProgressSpinner::ProgressSpinner(int diameter, QWidget* parent)
    : QWidget(parent)
    , m_diameter(diameter) {
    setFixedSize(diameter, diameter);
    m_animation.setStartValue(0);
    m_animation.setEndValue(spokes);
    m_animation.setDuration(1000);
    m_animation.setLoopCount(-1);
    connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        const int step = value.toInt() % spokes;
        if (step != m_step) {
            m_step = step;
            update();
        }
    });
}

void ProgressSpinner::showEvent(QShowEvent* event) {
    m_animation.start();
    QWidget::showEvent(event);
}

void ProgressSpinner::hideEvent(QHideEvent* event) {
    m_animation.stop();
    QWidget::hideEvent(event);
}

void ProgressSpinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    const qreal radius = m_diameter / 2.0;
    QColor color = m_color.isValid() ? m_color : Theme::primaryText();
    for (int i = 0; i < spokes; ++i) {
        // The spoke at the current step is the darkest; the ones behind it fade.
        const int age = (m_step - i + spokes) % spokes;
        QColor spoke = color;
        spoke.setAlphaF(float(color.alphaF() * (1.0 - age / double(spokes)) * 0.85 + 0.1));
        painter.setPen(QPen(spoke, std::max(1.5, m_diameter / 10.0), Qt::SolidLine, Qt::RoundCap));
        painter.save();
        painter.rotate(i * 360.0 / spokes);
        painter.drawLine(QPointF(0, -radius * 0.45), QPointF(0, -radius * 0.9));
        painter.restore();
    }
}

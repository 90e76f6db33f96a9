#include "menubar/translator/RewriteButton.h"

#include <QConicalGradient>
#include <QPainter>
#include <QPainterPath>

RewriteButton::RewriteButton(QWidget* parent)
    : ActionBarButton(QStringLiteral("wand.and.sparkles"), QSize(110, 36), parent) {
    setText(tr("Rewrite"));
    m_ring.setStartValue(0.0);
    m_ring.setEndValue(360.0);
    m_ring.setDuration(turnMs);
    m_ring.setLoopCount(-1);
    m_ring.setEasingCurve(QEasingCurve::Linear);
    connect(&m_ring, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_rotation = value.toReal();
        update();
    });
}

void RewriteButton::setRewriting(bool rewriting) {
    if (rewriting == m_rewriting)
        return;
    m_rewriting = rewriting;
    setText(rewriting ? tr("Rewriting...") : tr("Rewrite"));
    setSymbol(rewriting ? QString() : QStringLiteral("wand.and.sparkles"));
    setEnabled(!rewriting);
    updateRing();
    update();
}

void RewriteButton::updateRing() {
    const bool turning = m_rewriting && isVisible();
    if (turning && m_ring.state() != QAbstractAnimation::Running)
        m_ring.start();
    else if (!turning)
        m_ring.stop();
}

void RewriteButton::showEvent(QShowEvent* event) {
    ActionBarButton::showEvent(event);
    updateRing();
}

void RewriteButton::hideEvent(QHideEvent* event) {
    ActionBarButton::hideEvent(event);
    updateRing();
}

void RewriteButton::paintOutline(QPainter& painter, const QRectF& box) {
    if (!m_rewriting) {
        ActionBarButton::paintOutline(painter, box);
        return;
    }
    QConicalGradient gradient(QRectF(rect()).center(), m_rotation);
    const QList<QColor> colors = {Qt::red,
                                  QColor(255, 149, 0),
                                  Qt::yellow,
                                  QColor(52, 199, 89),
                                  QColor(0, 122, 255),
                                  QColor(175, 82, 222),
                                  QColor(255, 45, 85),
                                  Qt::red};
    for (int i = 0; i < colors.size(); ++i)
        gradient.setColorAt(qreal(i) / (colors.size() - 1), colors.at(i));
    // Stroked inside the edge: a rounded rectangle inset by half the ring's width.
    const qreal inset = ringWidth / 2;
    QPainterPath ring;
    ring.addRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), 12 - inset, 12 - inset);
    painter.setPen(QPen(QBrush(gradient), ringWidth));
    painter.drawPath(ring);
}

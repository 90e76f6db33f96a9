#include "ui/OpacityFade.h"

#include <QGraphicsEffect>
#include <QWidget>
#include <algorithm>
#include <cmath>

OpacityFade::OpacityFade(QWidget* widget, QObject* target, const QByteArray& property, QGraphicsEffect* effect)
    : QObject(widget)
    , m_widget(widget)
    , m_animation(target, property)
    , m_effect(effect) {
    m_animation.setDuration(durationMs);
    m_animation.setEasingCurve(QEasingCurve::InOutQuad);
    if (m_effect)
        m_effect->setEnabled(false);
    connect(&m_animation, &QAbstractAnimation::stateChanged, this, [this](QAbstractAnimation::State state) {
        if (m_effect)
            m_effect->setEnabled(state == QAbstractAnimation::Running);
    });
    connect(&m_animation, &QAbstractAnimation::finished, this, [this] {
        if (m_fadingOut)
            m_widget->hide();
        m_fadingOut = false;
    });
}

qreal OpacityFade::opacity() const {
    return m_animation.targetObject()->property(m_animation.propertyName()).toReal();
}

void OpacityFade::fadeIn() {
    if (m_widget->isHidden()) {
        m_animation.stop();
        m_animation.targetObject()->setProperty(m_animation.propertyName(), 0.0);
        m_widget->show();
    } else if (!m_fadingOut) {
        return;
    }
    m_fadingOut = false;
    fadeTo(1.0);
}

void OpacityFade::fadeOut() {
    if (m_widget->isHidden() || m_fadingOut)
        return;
    m_fadingOut = true;
    fadeTo(0.0);
}

void OpacityFade::fadeTo(qreal opacity) {
    m_animation.stop();
    const qreal from = this->opacity();
    m_animation.setStartValue(from);
    m_animation.setEndValue(opacity);
    // A reversal covers only the distance left.
    m_animation.setDuration(std::max(1, int(durationMs * std::abs(opacity - from))));
    m_animation.start();
}

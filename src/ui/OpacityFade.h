#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QPropertyAnimation>

class QGraphicsEffect;
class QWidget;

// Shows a widget with a fade in and hides it after a fade out, by animating an opacity property of
// `target` from wherever it stands, so a fade reversed half-way does not jump. The animation runs only
// while fading. An optional effect is enabled only then, so a widget at rest is painted directly.
class OpacityFade : public QObject {
    Q_OBJECT
public:
    // The length of the default animation.
    static constexpr int durationMs = 350;

    OpacityFade(QWidget* widget, QObject* target, const QByteArray& property, QGraphicsEffect* effect = nullptr);

    void fadeIn();
    void fadeOut();
    bool isFading() const { return m_animation.state() == QAbstractAnimation::Running; }
    bool isFadingOut() const { return isFading() && m_fadingOut; }
    qreal opacity() const;

private:
    void fadeTo(qreal opacity);

    QWidget* m_widget;
    QPropertyAnimation m_animation;
    // The effect may go first, with the widget that owns it.
    QPointer<QGraphicsEffect> m_effect;
    bool m_fadingOut = false;
};

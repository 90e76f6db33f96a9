#pragma once

#include "ui/OpacityFade.h"

#include <QColor>
#include <QWidget>

// The in-view toast: an optional coloured symbol and a short white text on a dark translucent capsule.
class ToastView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(qreal opacity READ opacity WRITE setOpacity)
public:
    static constexpr int contentHeight = 20;
    static constexpr int horizontalPadding = 16;
    static constexpr int verticalPadding = 6;
    static constexpr int spacing = 8;
    static constexpr qreal cornerRadius = 8;

    explicit ToastView(QWidget* parent = nullptr);

    void setToast(const QString& message, const QString& icon, const QColor& color);
    QString message() const { return m_message; }
    QString icon() const { return m_icon; }

    // Appearing and going, each with a fade.
    OpacityFade& fade() { return m_fade; }
    qreal opacity() const { return m_opacity; }
    void setOpacity(qreal opacity);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int iconSide() const;

    QString m_message;
    QString m_icon;
    QColor m_color;
    qreal m_opacity = 1.0;
    // Painted at the fading opacity: the shadow effect follows what is painted.
    OpacityFade m_fade{this, this, "opacity"};
};

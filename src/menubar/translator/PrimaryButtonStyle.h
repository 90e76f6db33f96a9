#pragma once

#include <QObject>

class QWidget;

// The look of a primary button: blue fill (dimmed to 60 % while the pointer is over it), white text,
// 36 high, rounded, a hairline border and a small shadow. Painted under the widget's own painting.
class PrimaryButtonStyle : public QObject {
    Q_OBJECT
public:
    // The fill is this much fainter under the pointer.
    static constexpr qreal hoverOpacity = 0.6;
    static void apply(QWidget* widget);
    static bool isHovering(const QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;

    bool m_hovering = false;
};

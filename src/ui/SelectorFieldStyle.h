#pragma once

#include <QObject>

class QWidget;

// Turns a selector button's label into a raised field: 36 high, 12 of horizontal padding, the field
// fill clipped to a rounded rectangle, a hairline border and a medium shadow. Works on any widget; the
// style is painted under the widget's own painting and children.
class SelectorFieldStyle : public QObject {
    Q_OBJECT
public:
    static constexpr int height = 36;
    static constexpr int horizontalPadding = 12;

    static void apply(QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
};

// Applies SelectorFieldStyle and returns the same widget.
QWidget* selectorFieldStyle(QWidget* widget);

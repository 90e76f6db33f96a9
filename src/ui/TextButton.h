#pragma once

#include "ui/Symbol.h"

#include <QAbstractButton>
#include <optional>

// A plain (borderless) button that is just its text, in a colour asked for at paint time.
class TextButton : public QAbstractButton {
    Q_OBJECT
public:
    TextButton(const QString& text, Symbol::ColorProvider color, QWidget* parent = nullptr);

    // The share of its colour's opacity the text keeps while disabled.
    void setDisabledOpacity(qreal opacity);
    // The colour the text is drawn in now.
    QColor foregroundColor() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

Q_SIGNALS:
    void hoverChanged(bool hovering);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    Symbol::ColorProvider m_color;
    std::optional<qreal> m_disabledOpacity;
};

#pragma once

#include "ui/Symbol.h"

#include <QAbstractButton>

// A button of the translator's action bar: a symbol (and an optional title) on the field fill, clipped
// to a rounded rectangle with a hairline border and a medium shadow. The fill lightens while the
// pointer is over it.
class ActionBarButton : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr qreal symbolPointSize = 14;
    static constexpr int titlePixelSize = 12;
    static constexpr int itemSpacing = 4;
    // The fill is this much fainter under the pointer.
    static constexpr qreal hoverOpacity = 0.8;

    ActionBarButton(const QString& symbol, QSize frame, QWidget* parent = nullptr);

    QString symbol() const { return m_symbol; }
    // An empty symbol draws the title alone.
    void setSymbol(const QString& symbol);
    void setSymbolColor(Symbol::ColorProvider color);
    bool isHovering() const { return m_hovering; }

    QSize sizeHint() const override { return m_frame; }
    QSize minimumSizeHint() const override { return m_frame; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    // The outline over the fill and content along `box`, the rounded rectangle's path; a hairline in the
    // border colour.
    virtual void paintOutline(QPainter& painter, const QRectF& box);

private:
    QString m_symbol;
    Symbol::ColorProvider m_symbolColor;
    QSize m_frame;
    bool m_hovering = false;
};

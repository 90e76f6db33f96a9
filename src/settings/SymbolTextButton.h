#pragma once

#include "ui/Symbol.h"

#include <QAbstractButton>
#include <QPixmap>

// A plain (borderless) button of an icon and a text side by side, both in one colour asked for at paint
// time. The icon is a symbol tinted with that colour, or an image shown as it is.
class SymbolTextButton : public QAbstractButton {
    Q_OBJECT
public:
    SymbolTextButton(const QString& symbol, const QString& text, const QFont& font, qreal iconPointSize,
                     Symbol::ColorProvider color, QWidget* parent = nullptr);

    QString symbol() const { return m_symbol; }
    // Shows `image` in place of the symbol, at its own size.
    void setImage(const QPixmap& image);
    void setSpacing(int spacing);
    void setVerticalPadding(int padding);
    QColor color() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSize iconSize() const;

    QString m_symbol;
    QPixmap m_image;
    qreal m_iconPointSize;
    Symbol::ColorProvider m_color;
    int m_spacing = 8;
    int m_verticalPadding = 0;
};

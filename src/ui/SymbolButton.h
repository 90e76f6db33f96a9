#pragma once

#include "ui/Symbol.h"

#include <QAbstractButton>

// A plain (borderless) button showing one symbol centred in a fixed frame. The colour is asked for at
// each paint, so it follows appearance switches; disabled buttons are faded.
class SymbolButton : public QAbstractButton {
    Q_OBJECT
public:
    SymbolButton(const QString& symbol, qreal pointSize, Symbol::ColorProvider color, QSize frame,
                 QWidget* parent = nullptr);

    QString symbol() const { return m_symbol; }
    void setSymbol(const QString& symbol);
    void setColor(Symbol::ColorProvider color);

    QSize sizeHint() const override { return m_frame; }
    QSize minimumSizeHint() const override { return m_frame; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    qreal m_pointSize;
    Symbol::ColorProvider m_color;
    QSize m_frame;
};

#pragma once

#include "ui/Symbol.h"

#include <QIconEngine>

// Paints a named symbol in the colour its provider gives at paint time.
class SymbolIconEngine : public QIconEngine {
public:
    SymbolIconEngine(QString name, Symbol::ColorProvider color);

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override;
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QIconEngine* clone() const override;
    QString key() const override;
    QString iconName() override { return m_name; }
    bool isNull() override;

private:
    QColor colorFor(QIcon::Mode mode) const;

    QString m_name;
    Symbol::ColorProvider m_color;
};

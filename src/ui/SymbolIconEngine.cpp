#include "ui/SymbolIconEngine.h"

#include <QPainter>

SymbolIconEngine::SymbolIconEngine(QString name, Symbol::ColorProvider color)
    : m_name(std::move(name))
    , m_color(std::move(color)) {}

QColor SymbolIconEngine::colorFor(QIcon::Mode mode) const {
    QColor color = m_color ? m_color() : QColor(Qt::black);
    if (mode == QIcon::Disabled)
        color.setAlphaF(color.alphaF() * 0.35f);
    return color;
}

void SymbolIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) {
    const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    painter->drawPixmap(rect, Symbol::pixmap(m_name, rect.size(), colorFor(mode), dpr));
}

QPixmap SymbolIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) {
    return scaledPixmap(size, mode, state, 1.0);
}

QPixmap SymbolIconEngine::scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal scale) {
    // `size` is already in device pixels; `scale` only tells the pixmap's ratio.
    return Symbol::devicePixmap(m_name, size, colorFor(mode), scale > 0 ? scale : 1.0);
}

QSize SymbolIconEngine::actualSize(const QSize& size, QIcon::Mode, QIcon::State) {
    return size;
}

QIconEngine* SymbolIconEngine::clone() const {
    return new SymbolIconEngine(m_name, m_color);
}

QString SymbolIconEngine::key() const {
    return QStringLiteral("QuilloraSymbol");
}

bool SymbolIconEngine::isNull() {
    return !Symbol::exists(m_name);
}

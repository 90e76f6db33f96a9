#include "settings/FilledButton.h"

#include "ui/RoundedBox.h"
#include "ui/Symbol.h"
#include "ui/Theme.h"

#include <QEvent>
#include <QFontInfo>
#include <QPainter>

namespace {
constexpr int kSymbolSpacing = 6;
constexpr qreal kCornerRadius = 8;
} // namespace

FilledButton::FilledButton(const QString& text, QString symbol, QMargins padding, ColorProvider colors,
                           QWidget* parent)
    : QAbstractButton(parent)
    , m_symbol(std::move(symbol))
    , m_padding(padding)
    , m_colors(std::move(colors)) {
    setText(text);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    Theme::followAppearance(this, [this] { update(); });
}

void FilledButton::setStretches(bool stretches) {
    setSizePolicy(stretches ? QSizePolicy::Expanding : QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize FilledButton::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    int width = metrics.horizontalAdvance(text());
    if (!m_symbol.isEmpty())
        width += Symbol::pixelSize(QFontInfo(font()).pixelSize()) + kSymbolSpacing;
    return {width + m_padding.left() + m_padding.right(),
            metrics.height() + m_padding.top() + m_padding.bottom()};
}

QSize FilledButton::minimumSizeHint() const {
    return sizeHint();
}

void FilledButton::changeEvent(QEvent* event) {
    QAbstractButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange)
        update();
}

void FilledButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const Colors colors = m_colors ? m_colors(*this) : Colors{Theme::accent(), Qt::white};
    QColor background = colors.background;
    if (isDown())
        background = background.darker(115);
    paintRoundedBox(painter, QRectF(rect()), kCornerRadius, background);

    const QFontMetrics metrics = fontMetrics();
    const int symbolSide = m_symbol.isEmpty() ? 0 : Symbol::pixelSize(QFontInfo(font()).pixelSize());
    const int contentWidth =
        metrics.horizontalAdvance(text()) + (symbolSide ? symbolSide + kSymbolSpacing : 0);
    int x = (width() - contentWidth) / 2;
    if (symbolSide) {
        const QPixmap symbol =
            Symbol::pixmap(m_symbol, QSize(symbolSide, symbolSide), colors.foreground, devicePixelRatioF());
        painter.drawPixmap(x, (height() - symbolSide) / 2, symbol);
        x += symbolSide + kSymbolSpacing;
    }
    painter.setPen(colors.foreground);
    painter.drawText(QRect(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
}

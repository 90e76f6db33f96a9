#include "ui/HoverButton.h"

#include "ui/Color.h"
#include "ui/RoundedBox.h"
#include "ui/Symbol.h"
#include "ui/Theme.h"

#include <QPainter>

namespace {

QColor mix(const QColor& a, const QColor& b, qreal t) {
    return QColor::fromRgbF(
        float(a.redF() + (b.redF() - a.redF()) * t), float(a.greenF() + (b.greenF() - a.greenF()) * t),
        float(a.blueF() + (b.blueF() - a.blueF()) * t), float(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

} // namespace

HoverButton::HoverButton(const QString& label, const QString& icon, std::function<void()> action,
                         QWidget* parent)
    : QAbstractButton(parent)
    , m_icon(icon) {
    setText(label);
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_animation.setDuration(animationMs);
    m_animation.setEasingCurve(QEasingCurve::InOutQuad);
    connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_progress = value.toReal();
        update();
    });
    if (action)
        connect(this, &QAbstractButton::clicked, this, [action = std::move(action)] { action(); });
    Theme::followAppearance(this, [this] { update(); });
}

QSize HoverButton::sizeHint() const {
    const QFontMetrics metrics(font());
    const int iconSide = Symbol::pixelSize(iconPointSize);
    const int contentHeight = std::max(metrics.height(), iconSide);
    return {horizontalPadding * 2 + iconSide + spacing + metrics.horizontalAdvance(text()),
            verticalPadding * 2 + contentHeight};
}

QSize HoverButton::minimumSizeHint() const {
    return sizeHint();
}

void HoverButton::setHovering(bool hovering) {
    if (hovering == m_hovering)
        return;
    m_hovering = hovering;
    m_animation.stop();
    m_animation.setStartValue(m_progress);
    m_animation.setEndValue(hovering ? 1.0 : 0.0);
    m_animation.start();
    Q_EMIT hoveringChanged(hovering);
}

void HoverButton::enterEvent(QEnterEvent* event) {
    setHovering(true);
    QAbstractButton::enterEvent(event);
}

void HoverButton::leaveEvent(QEvent* event) {
    setHovering(false);
    QAbstractButton::leaveEvent(event);
}

void HoverButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_progress > 0)
        paintRoundedBox(painter, QRectF(rect()), cornerRadius,
                        Color::withOpacity(Color::primary(), 0.1 * m_progress));
    const QRect content =
        rect().adjusted(horizontalPadding, verticalPadding, -horizontalPadding, -verticalPadding);
    const int iconSide = Symbol::pixelSize(iconPointSize);
    const QRect iconRect(content.left(), content.center().y() - iconSide / 2 + 1, iconSide, iconSide);
    const QColor iconColor = mix(Color::secondary(), Color::primary(), m_progress);
    painter.drawPixmap(iconRect, Symbol::pixmap(m_icon, iconRect.size(), iconColor, devicePixelRatioF()));

    const QRect textRect = content.adjusted(iconSide + spacing, 0, 0, 0);
    painter.setPen(Color::primary());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(text(), Qt::ElideRight, textRect.width()));
}

#include "ui/GlobalToastPanel.h"

#include "ui/Compositor.h"
#include "ui/DropShadow.h"
#include "ui/PopoverWindow.h"
#include "ui/Symbol.h"
#include "ui/SystemFont.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {

constexpr qreal cornerRadius = 12;
constexpr int horizontalPadding = 18;
constexpr int spacing = 12;

QPainterPath bannerPath(const QRect& rect) {
    QPainterPath path;
    path.addRoundedRect(QRectF(rect), cornerRadius, cornerRadius);
    return path;
}

} // namespace

QFont GlobalToastPanel::messageFont() {
    return systemFont(14, QFont::Medium);
}

Theme::Shadow GlobalToastPanel::shadow() {
    return {QColor(0, 0, 0, 51), 10, 0, 4};
}

GlobalToastPanel::GlobalToastPanel(const QString& message, const QString& icon, QSize bannerSize)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput |
                           Qt::NoDropShadowWindowHint)
    , m_message(message)
    , m_icon(icon) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::NoFocus);
    // The shadow needs translucent pixels around the banner; without a compositor they would show as
    // garbage, and the window is the banner alone.
    m_composited = Compositor::isRunning();
    QMargins room;
    if (m_composited) {
        const Theme::Shadow s = shadow();
        const int pad = DropShadow::margin(s.radius);
        const int dy = int(std::lround(s.y));
        room = QMargins(pad, std::max(0, pad - dy), pad, pad + dy);
    }
    m_banner = QRect(QPoint(room.left(), room.top()), bannerSize);
    setFixedSize(bannerSize.grownBy(room));
    setFont(messageFont());
    m_fade.setStartValue(0.0);
    m_fade.setEndValue(1.0);
    connect(&m_fade, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { setWindowOpacity(value.toReal()); });
}

void GlobalToastPanel::showEvent(QShowEvent* event) {
    // Without a compositor: the window shaped as the banner, painted opaque.
    if (m_composited)
        clearMask();
    else
        setMask(PopoverWindow::regionOf(bannerPath(m_banner)));
    QWidget::showEvent(event);
}

void GlobalToastPanel::fadeIn(int durationMs) {
    m_fade.stop();
    disconnect(&m_fade, &QVariantAnimation::finished, this, nullptr);
    m_fade.setDirection(QAbstractAnimation::Forward);
    m_fade.setDuration(durationMs);
    m_fade.start();
}

void GlobalToastPanel::fadeOut(int durationMs) {
    m_fade.stop();
    disconnect(&m_fade, &QVariantAnimation::finished, this, nullptr);
    connect(&m_fade, &QVariantAnimation::finished, this, &QWidget::close);
    m_fade.setDirection(QAbstractAnimation::Backward);
    m_fade.setDuration(durationMs);
    m_fade.start();
}

void GlobalToastPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_composited) {
        const Theme::Shadow s = shadow();
        const int pad = DropShadow::margin(s.radius);
        painter.drawImage(m_banner.topLeft() + QPoint(int(std::lround(s.x)) - pad, int(std::lround(s.y)) - pad),
                          DropShadow::image(m_banner.size(), cornerRadius, s.radius, s.color, devicePixelRatioF()));
    }
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath banner = bannerPath(m_banner);
    if (m_composited) {
        // The translucent banner shows the desktop through it, not its own shadow.
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillPath(banner, QColor(0, 0, 0, 204));
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    } else {
        painter.fillPath(banner, QColor(34, 34, 34));
    }

    const int iconSide = Symbol::pixelSize(16);
    const int textWidth = fontMetrics().horizontalAdvance(m_message);
    const bool hasIcon = Symbol::exists(m_icon);
    const int contentWidth = textWidth + (hasIcon ? iconSide + spacing : 0);
    // Centred as a group; a text wider than the banner starts at the padding.
    const QRect& b = m_banner;
    int x = b.left() + std::max(horizontalPadding, (b.width() - contentWidth) / 2);
    if (hasIcon) {
        const QRect iconRect(x, b.top() + (b.height() - iconSide) / 2, iconSide, iconSide);
        painter.drawPixmap(iconRect, Symbol::pixmap(m_icon, iconRect.size(), Qt::white, devicePixelRatioF()));
        x += iconSide + spacing;
    }
    // One line: a message from elsewhere (a server's error) too long for the widest banner ends in "…".
    const QRect textRect(x, b.top(), b.right() + 1 - x - horizontalPadding, b.height());
    painter.setPen(Qt::white);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(m_message, Qt::ElideRight, textRect.width()));
}

#include "ui/GlobalToastPanel.h"

#include "ui/Compositor.h"
#include "ui/PopoverWindow.h"
#include "ui/Symbol.h"
#include "ui/SystemFont.h"

#include <QPainter>
#include <QPainterPath>

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

GlobalToastPanel::GlobalToastPanel(const QString& message, const QString& icon, QSize size)
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
    setFixedSize(size);
    setFont(messageFont());
    m_fade.setStartValue(0.0);
    m_fade.setEndValue(1.0);
    connect(&m_fade, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { setWindowOpacity(value.toReal()); });
}

void GlobalToastPanel::showEvent(QShowEvent* event) {
    // Without a compositor translucent pixels show as garbage: shape the window and paint it opaque.
    m_composited = Compositor::isRunning();
    if (m_composited)
        clearMask();
    else
        setMask(PopoverWindow::regionOf(bannerPath(rect())));
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
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(bannerPath(rect()), m_composited ? QColor(0, 0, 0, 204) : QColor(34, 34, 34));

    const int iconSide = Symbol::pixelSize(16);
    const int textWidth = fontMetrics().horizontalAdvance(m_message);
    const bool hasIcon = Symbol::exists(m_icon);
    const int contentWidth = textWidth + (hasIcon ? iconSide + spacing : 0);
    // Centred as a group; a text wider than the banner starts at the padding.
    int x = std::max(horizontalPadding, (width() - contentWidth) / 2);
    if (hasIcon) {
        const QRect iconRect(x, (height() - iconSide) / 2, iconSide, iconSide);
        painter.drawPixmap(iconRect, Symbol::pixmap(m_icon, iconRect.size(), Qt::white, devicePixelRatioF()));
        x += iconSide + spacing;
    }
    // One line: a message from elsewhere (a server's error) too long for the widest banner ends in "…".
    const QRect textRect(x, 0, width() - x - horizontalPadding, height());
    painter.setPen(Qt::white);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(m_message, Qt::ElideRight, textRect.width()));
}

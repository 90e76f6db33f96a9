#include "CaptureOverlay.h"

#include "NativePointerTracker.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <qpa/qplatformscreen.h>

namespace {

// A press and release closer than this (in device-independent pixels) is a click, not a region.
constexpr qreal minimumRegionSize = 4.0;
const QColor idleShade(0, 0, 0, 40);
const QColor outsideShade(0, 0, 0, 120);
// The X server refuses a keyboard grab until the window is viewable; a freshly mapped override-redirect
// window gets there within a few frames.
constexpr int keyboardGrabRetryMs = 20;
constexpr int keyboardGrabAttempts = 50;

} // namespace

CaptureOverlay::CaptureOverlay(QScreen* screen, const QPixmap& frozen, const NativePointerTracker& pointer)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint)
    , m_frozen(frozen)
    , m_pointer(pointer)
    , m_nativeOrigin(screen->handle() ? screen->handle()->geometry().topLeft()
                                      : screen->geometry().topLeft()) {
    setWindowTitle(QStringLiteral("Quillora screen capture"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
    setScreen(screen);
    setGeometry(screen->geometry());
}

void CaptureOverlay::grabKeyboardWhenShown() {
    m_wantsKeyboard = true;
    if (isVisible())
        QTimer::singleShot(0, this, &CaptureOverlay::tryGrabKeyboard);
}

void CaptureOverlay::tryGrabKeyboard() {
    if (m_keyboardGrabbed || !windowHandle())
        return;
    activateWindow();
    m_keyboardGrabbed = windowHandle()->setKeyboardGrabEnabled(true);
    if (!m_keyboardGrabbed && ++m_grabAttempts < keyboardGrabAttempts)
        QTimer::singleShot(keyboardGrabRetryMs, this, &CaptureOverlay::tryGrabKeyboard);
}

QImage CaptureOverlay::crop(const QRectF& logical, const std::optional<QRect>& physical) const {
    QRect region;
    if (physical) {
        region = *physical;
    } else {
        // The frozen image is in physical pixels; its scale to this window's coordinates may differ
        // per screen, so map through the actual sizes rather than a global factor.
        const qreal sx = width() > 0 ? m_frozen.width() / qreal(width()) : 1.0;
        const qreal sy = height() > 0 ? m_frozen.height() / qreal(height()) : 1.0;
        const QPoint topLeft(qRound(logical.left() * sx), qRound(logical.top() * sy));
        const QPoint bottomRight(qRound(logical.right() * sx), qRound(logical.bottom() * sy));
        region = QRect(topLeft, QSize(bottomRight.x() - topLeft.x(), bottomRight.y() - topLeft.y()));
    }
    region = region.intersected(QRect(QPoint(0, 0), m_frozen.size()));
    if (region.isEmpty())
        return {};
    QImage image = m_frozen.copy(region).toImage();
    image.setDevicePixelRatio(1.0);
    return image;
}

QRectF CaptureOverlay::selection() const {
    return QRectF(m_origin, m_current).normalized();
}

QPointF CaptureOverlay::clamped(const QPointF& position) const {
    return QPointF(std::clamp<qreal>(position.x(), 0, width()), std::clamp<qreal>(position.y(), 0, height()));
}

void CaptureOverlay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(rect(), m_frozen);
    if (!m_dragging) {
        painter.fillRect(rect(), idleShade);
    } else {
        const QRectF sel = selection();
        QPainterPath outside;
        outside.addRect(QRectF(rect()));
        outside.addRect(sel);
        painter.fillPath(outside, outsideShade);
        QPen pen(Qt::white);
        pen.setWidth(0);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(sel);
    }
    if (m_wantsKeyboard && !m_keyboardGrabbed && m_grabAttempts == 0)
        QTimer::singleShot(0, this, &CaptureOverlay::tryGrabKeyboard);
}

void CaptureOverlay::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    m_dragging = true;
    m_origin = m_current = clamped(event->position());
    m_nativePress = m_pointer.pressAt(event->timestamp());
    update();
}

void CaptureOverlay::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging)
        return;
    m_current = clamped(event->position());
    update();
}

void CaptureOverlay::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_dragging)
        return;
    m_current = clamped(event->position());
    m_dragging = false;
    const QRectF sel = selection();
    update();
    if (sel.width() < minimumRegionSize || sel.height() < minimumRegionSize) {
        Q_EMIT cancelled();
        return;
    }
    std::optional<QRect> physical;
    if (const std::optional<QPoint> release = m_pointer.releaseAt(event->timestamp());
        release && m_nativePress) {
        // The press screen's pixels, whichever screen the pointer was released over.
        const QPoint a = *m_nativePress - m_nativeOrigin;
        const QPoint b = *release - m_nativeOrigin;
        physical = QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                         QSize(std::abs(b.x() - a.x()), std::abs(b.y() - a.y())));
    }
    const QImage image = crop(sel, physical);
    if (image.isNull()) {
        Q_EMIT cancelled();
        return;
    }
    Q_EMIT regionSelected(image);
}

void CaptureOverlay::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Q_EMIT cancelled();
        return;
    }
    QWidget::keyPressEvent(event);
}

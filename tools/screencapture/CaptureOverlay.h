#pragma once

#include <QImage>
#include <QPixmap>
#include <QPointF>
#include <QWidget>
#include <optional>

class NativePointerTracker;
class QScreen;

// Covers one screen with its frozen image and lets the user drag a rectangle on it.
class CaptureOverlay : public QWidget {
    Q_OBJECT
public:
    CaptureOverlay(QScreen* screen, const QPixmap& frozen, const NativePointerTracker& pointer);

    // Takes the keyboard once the window is on screen, so Escape reaches us even without focus.
    void grabKeyboardWhenShown();

    // The frozen image under the dragged region: `physical` (screen pixels) when the exact pointer
    // positions are known, else `logical` (widget coordinates) scaled to the image.
    QImage crop(const QRectF& logical, const std::optional<QRect>& physical) const;

Q_SIGNALS:
    void regionSelected(const QImage& image);
    void cancelled();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QRectF selection() const;
    QPointF clamped(const QPointF& position) const;
    void tryGrabKeyboard();

    QPixmap m_frozen;
    const NativePointerTracker& m_pointer;
    // Where this screen starts on the root window, in physical pixels.
    QPoint m_nativeOrigin;
    std::optional<QPoint> m_nativePress;
    QPointF m_origin;
    QPointF m_current;
    bool m_dragging = false;
    bool m_wantsKeyboard = false;
    bool m_keyboardGrabbed = false;
    int m_grabAttempts = 0;
};

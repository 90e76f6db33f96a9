#include "ui/Backdrop.h"

#include "ui/Theme.h"

#include <QEvent>
#include <QPainter>
#include <QRegion>
#include <QWidget>
#include <cmath>

Backdrop::Backdrop(QWidget* widget)
    : QObject(widget)
    , m_widget(widget) {
    widget->setAttribute(Qt::WA_OpaquePaintEvent);
    widget->installEventFilter(this);
    Theme::followAppearance(this, [this] {
        invalidate();
        m_widget->update();
    });
}

Backdrop::Key Backdrop::currentKey() const {
    const QWidget* window = m_widget->window();
    return {m_widget->mapTo(window, QPoint(0, 0)), m_widget->size(), window->size(), m_widget->devicePixelRatioF()};
}

void Backdrop::paint(QPainter& painter, const QRegion& region) {
    const Key key = currentKey();
    if (m_image.isNull() || !(key == m_key)) {
        m_image = render(m_widget);
        m_key = key;
    }
    painter.save();
    // The snapshot replaces the pixels, translucent ones included, as the painting beneath would have.
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setClipRegion(region);
    painter.drawImage(QPoint(0, 0), m_image);
    painter.restore();
}

namespace {

// Renders `source` of `widget` with the widget's origin at `at`: render() puts the top-left of the
// region it paints there instead.
void renderAt(QWidget* widget, QImage& image, QPoint at, const QRegion& source, QWidget::RenderFlags flags) {
    QRegion painted = source & widget->rect();
    if (!widget->mask().isEmpty())
        painted &= widget->mask();
    if (!painted.isEmpty())
        widget->render(&image, at + painted.boundingRect().topLeft(), painted, flags);
}

} // namespace

QImage Backdrop::render(QWidget* widget) {
    const qreal dpr = widget->devicePixelRatioF();
    QImage image(int(std::ceil(widget->width() * dpr)), int(std::ceil(widget->height() * dpr)),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    QWidget* window = widget->window();
    if (window == widget || image.isNull())
        return image;

    QList<QWidget*> chain;
    for (QWidget* w = widget; w != window; w = w->parentWidget())
        chain.prepend(w);
    const QPoint origin = widget->mapTo(window, QPoint(0, 0));
    // Top down, as the window paints: each ancestor without its children, then the children stacked
    // under the next ancestor of the widget, with theirs.
    QWidget* level = window;
    for (QWidget* next : std::as_const(chain)) {
        const QPoint levelOffset = level->mapTo(window, QPoint(0, 0)) - origin;
        const QRect area = widget->rect().translated(-levelOffset);
        renderAt(level, image, levelOffset, QRegion(area), QWidget::RenderFlags());
        for (QObject* child : level->children()) {
            if (child == next)
                break;
            auto* sibling = qobject_cast<QWidget*>(child);
            if (!sibling || sibling->isHidden() || sibling->isWindow() || !sibling->geometry().intersects(area))
                continue;
            renderAt(sibling, image, levelOffset + sibling->pos(), QRegion(area.translated(-sibling->pos())),
                     QWidget::DrawChildren);
        }
        level = next;
    }
    return image;
}

bool Backdrop::eventFilter(QObject* watched, QEvent* event) {
    // A window shown again may sit elsewhere, or over a desktop that now composites; a hidden one has no
    // use for the snapshot's memory.
    if (watched == m_widget && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        invalidate();
    return QObject::eventFilter(watched, event);
}

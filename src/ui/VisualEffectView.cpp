#include "ui/VisualEffectView.h"

#include "ui/Compositor.h"
#include "ui/RoundedBox.h"
#include "ui/Theme.h"

#include <QPainter>

VisualEffectView::VisualEffectView(Material material, BlendingMode blendingMode, QWidget* parent)
    : QWidget(parent)
    , m_material(material)
    , m_blendingMode(blendingMode) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    Theme::followAppearance(this, [this] { update(); });
}

void VisualEffectView::setMaterial(Material material) {
    if (material == m_material)
        return;
    m_material = material;
    update();
}

void VisualEffectView::setBlendingMode(BlendingMode mode) {
    if (mode == m_blendingMode)
        return;
    m_blendingMode = mode;
    update();
}

void VisualEffectView::setCornerRadius(qreal radius) {
    m_cornerRadius = radius;
    update();
}

QColor VisualEffectView::fillColor(Material material, bool translucent) {
    const bool dark = Theme::dark();
    QColor color;
    switch (material) {
    case Material::Sidebar:
    case Material::UnderWindowBackground:
        color = dark ? QColor(44, 44, 46, 224) : QColor(236, 236, 238, 224);
        break;
    case Material::HudWindow:
        color = dark ? QColor(30, 30, 32, 230) : QColor(246, 246, 246, 230);
        break;
    case Material::Menu:
    case Material::Popover:
    case Material::ToolTip:
        color = dark ? QColor(40, 40, 42, 240) : QColor(250, 250, 250, 240);
        break;
    case Material::Titlebar:
    case Material::HeaderView:
    case Material::Selection:
        color = dark ? QColor(54, 54, 56, 230) : QColor(232, 232, 232, 230);
        break;
    case Material::Sheet:
    case Material::WindowBackground:
    case Material::FullScreenUI:
    case Material::ContentBackground:
    case Material::UnderPageBackground:
        color = dark ? QColor(50, 50, 52, 240) : QColor(240, 240, 240, 240);
        break;
    }
    if (!translucent)
        color.setAlpha(255);
    return color;
}

void VisualEffectView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Within a window the material sits over the window's own content, which is opaque anyway.
    const bool translucent = m_blendingMode == BlendingMode::WithinWindow || m_composited;
    const QColor fill = fillColor(m_material, translucent);
    if (m_cornerRadius <= 0) {
        painter.fillRect(rect(), fill);
        return;
    }
    paintRoundedBox(painter, QRectF(rect()), m_cornerRadius, fill);
}

void VisualEffectView::showEvent(QShowEvent* event) {
    m_composited = Compositor::isRunning();
    QWidget::showEvent(event);
}

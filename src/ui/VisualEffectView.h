#pragma once

#include <QColor>
#include <QWidget>

// The translucent window material behind panels and popovers: a painted fill per material that follows
// the appearance. There is no blur on X11; without a compositing manager the fill is painted opaque,
// since translucent pixels would show as darkened garbage.
class VisualEffectView : public QWidget {
    Q_OBJECT
public:
    enum class Material {
        Titlebar = 3,
        Selection = 4,
        Menu = 5,
        Popover = 6,
        Sidebar = 7,
        HeaderView = 10,
        Sheet = 11,
        WindowBackground = 12,
        HudWindow = 13,
        FullScreenUI = 15,
        ToolTip = 17,
        ContentBackground = 18,
        UnderWindowBackground = 21,
        UnderPageBackground = 22,
    };
    enum class BlendingMode { BehindWindow = 0, WithinWindow = 1 };

    explicit VisualEffectView(Material material = Material::Popover,
                              BlendingMode blendingMode = BlendingMode::BehindWindow,
                              QWidget* parent = nullptr);

    Material material() const { return m_material; }
    void setMaterial(Material material);
    BlendingMode blendingMode() const { return m_blendingMode; }
    void setBlendingMode(BlendingMode mode);

    // Rounds the painted fill (0: square corners).
    qreal cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(qreal radius);

    // The fill of a material in the current appearance; opaque when `translucent` is false.
    static QColor fillColor(Material material, bool translucent = true);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    Material m_material;
    BlendingMode m_blendingMode;
    bool m_composited = true;
    qreal m_cornerRadius = 0;
};

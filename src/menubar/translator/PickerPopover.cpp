#include "menubar/translator/PickerPopover.h"

PickerPopover::PickerPopover(QWidget* anchor, QSize contentSize)
    : PopoverWindow(StaysOnTop, anchor)
    , m_anchor(anchor) {
    // A popup grabs the keyboard, so its search field can be typed in without activating a window, and
    // the translator's popover knows it as its own.
    setWindowFlags(Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
    setBehavior(Behavior::Transient);
    setMaterial(VisualEffectView::Material::Popover);
    setAnchorWidget(anchor);
    setContentSize(contentSize);
}

void PickerPopover::open(QWidget* content) {
    setContentWidget(content);
    const QRect anchor(m_anchor->mapToGlobal(QPoint(0, 0)), m_anchor->size());
    showRelativeTo(anchor, Edge::Bottom);
}

#pragma once

#include "ui/PopoverWindow.h"

// The popover of a selector button (languages, provider): it opens under its button with fresh content,
// takes the keyboard while open, and closes on a press outside it or on Escape. Closing it leaves the
// translator's own popover open.
class PickerPopover : public PopoverWindow {
    Q_OBJECT
public:
    PickerPopover(QWidget* anchor, QSize contentSize);

    // Replaces the content and shows the popover under the anchor.
    void open(QWidget* content);

private:
    QWidget* m_anchor;
};

#pragma once

#include "ui/PopoverWindow.h"

#include <QObject>
#include <QPointer>
#include <functional>

// A transient popover attached to a control: built when it is shown, dropped when it closes (a click
// elsewhere, or its owner closing it), so each showing starts from fresh content. It takes no focus.
class AttachedPopover : public QObject {
    Q_OBJECT
public:
    explicit AttachedPopover(QWidget* anchor);

    // Opens beside the anchor on `edge`; `build` makes the content when the popover is not open yet. The
    // content's fixed size, else its size hint, is the popover's size.
    void show(const std::function<QWidget*()>& build, PopoverWindow::Edge edge);
    void close();
    bool isShown() const { return m_window && m_window->isShown(); }
    PopoverWindow* window() const { return m_window; }
    QWidget* content() const { return m_window ? m_window->contentWidget() : nullptr; }

Q_SIGNALS:
    void closed();

private:
    QWidget* m_anchor;
    QPointer<PopoverWindow> m_window;
};

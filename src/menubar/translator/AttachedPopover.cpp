#include "menubar/translator/AttachedPopover.h"

AttachedPopover::AttachedPopover(QWidget* anchor)
    : QObject(anchor)
    , m_anchor(anchor) {}

void AttachedPopover::show(const std::function<QWidget*()>& build, PopoverWindow::Edge edge) {
    if (!m_window) {
        m_window = new PopoverWindow(PopoverWindow::StaysOnTop | PopoverWindow::DoesNotAcceptFocus, m_anchor);
        m_window->setBehavior(PopoverWindow::Behavior::Transient);
        m_window->setAnchorWidget(m_anchor);
        QWidget* content = build();
        const bool fixed = content->minimumSize() == content->maximumSize();
        const QSize size = fixed ? content->minimumSize() : content->sizeHint();
        m_window->setContentWidget(content);
        m_window->setContentSize(size);
        connect(m_window, &PopoverWindow::closed, this, [this] {
            if (PopoverWindow* closing = m_window)
                closing->deleteLater();
            m_window = nullptr;
            Q_EMIT closed();
        });
    }
    m_window->showRelativeTo(QRect(m_anchor->mapToGlobal(QPoint(0, 0)), m_anchor->size()), edge);
}

void AttachedPopover::close() {
    if (isShown())
        m_window->performClose();
}

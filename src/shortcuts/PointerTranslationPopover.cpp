#include "shortcuts/PointerTranslationPopover.h"

#include "platform/Platform.h"
#include "platform/WindowSystem.h"
#include "ui/TranslationPopoverView.h"
#include "ui/WindowWorkspaces.h"

#include <QApplication>
#include <QScreen>

#include <algorithm>
#include <QKeyEvent>

PointerTranslationPopover::PointerTranslationPopover(const QString& text, const QString& source,
                                                     const QString& target, TranslationService service,
                                                     QObject* parent)
    : QObject(parent) {
    m_window = new PopoverWindow(PopoverWindow::StaysOnTop | PopoverWindow::DoesNotAcceptFocus);
    // Hung from a point at the pointer, not from a window: no press in our windows closes it.
    m_window->setBehavior(PopoverWindow::Behavior::Semitransient);
    m_window->setArrowVisible(false);
    m_window->setWindowTitle(QStringLiteral("Quillora translation"));
    m_view =
        new TranslationPopoverView(text, source, target, service, QStringLiteral("shortcut"), viewHeight);
    m_window->setContentWidget(m_view);
    m_window->setContentSize(QSize(width, height));
    // The popover grows with the view as a long translation arrives.
    connect(m_view, &TranslationPopoverView::popoverHeightChanged, m_window, [window = m_window](qreal viewHeight) {
        window->setContentSize(QSize(width, std::max(height, int(viewHeight))));
    });
    connect(m_window, &PopoverWindow::closed, this, &PointerTranslationPopover::handleClosed);
}

PointerTranslationPopover::~PointerTranslationPopover() {
    removeMonitors();
    delete m_window;
}

PointerTranslationPopover::Anchor PointerTranslationPopover::anchorFor(QPoint pointer, const QRect& screen) {
    const int x = std::max(screen.left() + screenMargin,
                           std::min(screen.left() + screen.width() - width - screenMargin, pointer.x() - leftShift));
    const int roomBelow = screen.top() + screen.height() - pointer.y() + 10;
    const int roomAbove = pointer.y() - screen.top() + 10;
    if (roomAbove >= height || roomBelow < roomAbove)
        return {QRect(x, pointer.y() + pointerGap, 1, 1), PopoverWindow::Edge::Top};
    return {QRect(x, pointer.y() - pointerGap - 1, 1, 1), PopoverWindow::Edge::Bottom};
}

bool PointerTranslationPopover::isShown() const {
    return m_window && m_window->isShown();
}

void PointerTranslationPopover::showAt(QPoint pointer) {
    if (!m_window)
        return;
    WindowWorkspaces::showOnAllWorkspaces(m_window);
    QScreen* screen = QGuiApplication::screenAt(pointer);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const Anchor anchor = anchorFor(pointer, screen ? screen->geometry() : QRect(pointer, QSize(1, 1)));
    m_window->showRelativeTo(anchor.rect, anchor.edge);

    if (!m_keyFilterInstalled) {
        qApp->installEventFilter(this);
        m_keyFilterInstalled = true;
    }
    if (!m_mouseMonitor) {
        m_mouseMonitor = platform().createGlobalMouseMonitor();
        QPointer<PointerTranslationPopover> weak(this);
        if (m_mouseMonitor && !m_mouseMonitor->start([weak](const GlobalMouseEvent& event) {
                if (!weak || event.type == GlobalMouseEvent::Type::LeftMouseUp ||
                    event.type == GlobalMouseEvent::Type::LeftMouseDragged)
                    return;
                // Later: closing removes this monitor, which is running this handler.
                if (weak->isShown() && !weak->isOwnWindowAt(event.position))
                    QMetaObject::invokeMethod(
                        weak,
                        [weak] {
                            if (weak)
                                weak->close();
                        },
                        Qt::QueuedConnection);
            }))
            m_mouseMonitor.reset();
    }
}

void PointerTranslationPopover::close() {
    if (isShown())
        m_window->performClose();
    removeMonitors();
}

void PointerTranslationPopover::handleClosed() {
    removeMonitors();
    Q_EMIT closed();
}

void PointerTranslationPopover::removeMonitors() {
    if (m_keyFilterInstalled && qApp)
        qApp->removeEventFilter(this);
    m_keyFilterInstalled = false;
    if (m_mouseMonitor) {
        m_mouseMonitor->stop();
        m_mouseMonitor.reset();
    }
}

bool PointerTranslationPopover::isOwnWindowAt(QPoint position) const {
    // Presses in any window of ours (the popover, its lists, the settings window) are not clicks in
    // another application.
    return platform().windowSystem().ownWindowAt(position) != nullptr;
}

bool PointerTranslationPopover::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
        isShown()) {
        close();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

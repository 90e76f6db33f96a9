#include "floatingbar/FloatingBarWindowController.h"

#include "floatingbar/FloatingBarView.h"
#include "platform/DebugLog.h"
#include "platform/Platform.h"
#include "platform/UserDefaults.h"
#include "platform/WindowSystem.h"
#include "platform/Workspace.h"
#include "selection/ExcludedAppsManager.h"
#include "services/FloatingBarNotificationService.h"
#include "services/TranslationService.h"
#include "ui/Compositor.h"
#include "ui/PopoverWindow.h"
#include "ui/TranslationPopoverView.h"
#include "ui/WindowWorkspaces.h"

#include <QApplication>
#include <QMouseEvent>
#include <QShortcut>
#include <QPainterPath>
#include <QScreen>

namespace {

const QString tag = QStringLiteral("FloatingBarWindowController");

} // namespace

FloatingBarWindowController::FloatingBarWindowController(const QString& selectedText,
                                                         const QString& detectedLanguage,
                                                         bool isInEditableField, QObject* parent)
    : QObject(parent)
    , m_selectedText(selectedText)
    , m_detectedLanguage(detectedLanguage)
    , m_isInEditableField(isInEditableField)
    , m_hideTimer(this) {
    m_window = new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                        Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint);
    m_window->setAttribute(Qt::WA_TranslucentBackground);
    m_window->setAttribute(Qt::WA_ShowWithoutActivating);
    m_window->setAttribute(Qt::WA_X11NetWmWindowTypeUtility);
    // Untitled, it would take the application's name, which the tray icon and the translator bear.
    m_window->setWindowTitle(QStringLiteral("Quillora floating bar"));
    m_window->setFixedSize(FloatingBarView::barWidth, FloatingBarView::barHeight);

    QPointer<FloatingBarWindowController> weak(this);
    m_view = new FloatingBarView(
        m_detectedLanguage, m_selectedText,
        [weak](const QString& target) {
            if (weak)
                weak->handleTranslate(target);
        },
        false, false, m_isInEditableField,
        [weak] {
            if (weak)
                weak->hideWindow();
        },
        [weak] {
            if (weak)
                weak->disableForFrontmostApplication();
        },
        [weak](bool isHovering, bool showingOptions) {
            if (weak)
                weak->handleHoverChanged(isHovering, showingOptions);
        },
        m_window);
    m_view->move(0, 0);

    qApp->installEventFilter(this);
    startGlobalMonitorLater();
}

void FloatingBarWindowController::setSelection(const QString& selectedText, const QString& detectedLanguage,
                                               bool isInEditableField) {
    ++m_selection;
    m_selectedText = selectedText;
    m_detectedLanguage = detectedLanguage;
    m_isInEditableField = isInEditableField;
    m_hideTimer.cancel();
    if (PopoverWindow* popover = m_translationPopover) {
        m_translationPopover = nullptr;
        popover->hide();
        popover->deleteLater();
    }
    m_view->setSelection(detectedLanguage, selectedText, isInEditableField);
    m_isHovering = false;
    m_showingOptions = false;
    m_lastPopupPressTime = -1;
}

void FloatingBarWindowController::startGlobalMonitorLater() {
    if (hasGlobalEventMonitor() || m_globalMonitorPending)
        return;
    // Its connection to the display costs round trips: opened on the turn after the bar is shown.
    m_globalMonitorPending = true;
    QPointer<FloatingBarWindowController> weak(this);
    MainQueue::async(
        [weak] {
            if (weak)
                weak->startGlobalMonitor();
        },
        this);
}

void FloatingBarWindowController::startGlobalMonitor() {
    m_globalMonitorPending = false;
    if (hasGlobalEventMonitor())
        return;
    QPointer<FloatingBarWindowController> weak(this);
    if (!m_globalEventMonitor)
        m_globalEventMonitor = platform().createGlobalMouseMonitor();
    if (m_globalEventMonitor) {
        const bool started = m_globalEventMonitor->start([weak](const GlobalMouseEvent& event) {
            if (weak && (event.type == GlobalMouseEvent::Type::LeftMouseDown ||
                         event.type == GlobalMouseEvent::Type::RightMouseDown))
                weak->handleGlobalMouseDown(event);
        });
        if (!started)
            m_globalEventMonitor.reset();
    }
    if (!m_globalEventMonitor)
        debugLog(tag,
                 QStringLiteral("⚠️ No global mouse monitor: clicks elsewhere will not hide the bar"));
}

FloatingBarWindowController::~FloatingBarWindowController() {
    if (m_globalEventMonitor)
        m_globalEventMonitor->stop();
    m_hideTimer.cancel();
    delete m_translationPopover;
    delete m_window;
}

QRect FloatingBarWindowController::barFrame(QPoint pointer, const QRect& screen) {
    // The bar's lower-left corner at the pointer: above and to the right of it. Pushed down by the top
    // edge it would sit on the pointer and the selected word, so it goes below them instead.
    QRect frame(QPoint(pointer.x(), pointer.y() - FloatingBarView::barHeight),
                QSize(FloatingBarView::barWidth, FloatingBarView::barHeight));
    if (frame.top() < screen.top())
        frame.moveTop(pointer.y() + pointerClearance);
    frame.moveLeft(
        std::max(screen.left(), std::min(frame.left(), screen.left() + screen.width() - frame.width())));
    frame.moveTop(
        std::max(screen.top(), std::min(frame.top(), screen.top() + screen.height() - frame.height())));
    return frame;
}

QRect FloatingBarWindowController::selectionLine(QPoint pointer, const QRect& screen) {
    // The text pointer's hot spot sits in the middle of the line; its upper half rises above it.
    constexpr int aboveHotSpot = 8;
    return {screen.left(), pointer.y() - aboveHotSpot, screen.width(), aboveHotSpot + pointerClearance};
}

QRect FloatingBarWindowController::popoverAnchor(const QRect& bar, QPoint pointer) {
    return bar.united(QRect(pointer.x(), pointer.y(), 1, pointerClearance));
}

PopoverWindow::Edge FloatingBarWindowController::popoverEdge(const QRect& anchor, const QRect& screen) {
    // Decided for the tallest content, since the popover grows with the translation afterwards.
    const QSize tallest(popoverWidth, maximumPopoverHeight);
    for (const PopoverWindow::Edge edge : {PopoverWindow::Edge::Bottom, PopoverWindow::Edge::Right}) {
        const PopoverWindow::Placement placement = PopoverWindow::place(tallest, anchor, screen, edge, true);
        if (!placement.scrolls && !placement.frame.intersects(anchor))
            return edge;
    }
    return PopoverWindow::Edge::Bottom;
}

int FloatingBarWindowController::popoverHeight(const QString& text) {
    const int lines = std::max(1, TranslationPopoverView::characterCount(text) / 65) +
                      TranslationPopoverView::lineBreakCount(text);
    return std::min(180, std::max(80, 22 * lines)) + 240;
}

void FloatingBarWindowController::showWindow(const QRect& at) {
    m_hideTimer.cancel();
    if (isPopoverShown())
        m_translationPopover->performClose();

    const QPoint pointer = at.topLeft();
    m_pointer = pointer;
    QScreen* screen = QGuiApplication::screenAt(pointer);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry()
                              : QRect(pointer, QSize(FloatingBarView::barWidth, FloatingBarView::barHeight));
    m_frame = barFrame(pointer, area);
    m_window->setGeometry(m_frame);
    m_view->setSelectionLine(selectionLine(pointer, area));

    if (!Compositor::isRunning()) {
        QPainterPath shape;
        shape.addRoundedRect(QRectF(m_view->barRect()), FloatingBarView::cornerRadius,
                             FloatingBarView::cornerRadius);
        m_window->setMask(PopoverWindow::regionOf(shape));
    } else {
        m_window->clearMask();
    }
    if (!m_window->isVisible())
        WindowWorkspaces::showOnAllWorkspaces(m_window);
    m_window->show();
    m_window->raise();
    startHideTimer();
    startGlobalMonitorLater();
}

void FloatingBarWindowController::hideWindow() {
    if (m_window)
        m_window->hide();
    stopGlobalMonitorWhenNothingShows();
}

void FloatingBarWindowController::stopGlobalMonitorWhenNothingShows() {
    // With nothing on screen a click elsewhere has nothing to hide: the monitor would only wake us, and
    // its handling of each press and release would stand in the way of the next selection's bar.
    if (m_globalEventMonitor && !(m_window && m_window->isVisible()) && !isPopoverShown())
        m_globalEventMonitor->stop();
}

void FloatingBarWindowController::startHideTimer() {
    m_hideTimer.cancel();
    if (isPopoverShown())
        return;
    if (m_isHovering || m_showingOptions)
        return;
    QPointer<FloatingBarWindowController> weak(this);
    m_hideTimer.schedule(hideDelayMs, [weak] {
        if (weak)
            weak->hideWindow();
    });
}

void FloatingBarWindowController::handleHoverChanged(bool isHovering, bool showingOptions) {
    m_isHovering = isHovering;
    m_showingOptions = showingOptions;
    if (isHovering || showingOptions)
        m_hideTimer.cancel();
    else
        startHideTimer();
}

bool FloatingBarWindowController::isPopoverShown() const {
    return m_translationPopover && m_translationPopover->isShown();
}

bool FloatingBarWindowController::isOwnWindowAt(QPoint position) const {
    // The monitor sees presses in this application too; those in any window of ours (the bar, its menu,
    // the popover, the settings window) are not clicks in another application.
    return hasPlatform() && platform().windowSystem().ownWindowAt(position) != nullptr;
}

bool FloatingBarWindowController::eventFilter(QObject* watched, QEvent* event) {
    // A window manager may place a newly mapped window by its own rules; the bar belongs at the pointer.
    if (watched == m_window && event->type() == QEvent::Move && m_window->isVisible() &&
        m_window->pos() != m_frame.topLeft()) {
        QPointer<FloatingBarWindowController> weak(this);
        const QRect frame = m_frame;
        const quint64 selection = m_selection;
        MainQueue::async([weak, frame, selection] {
            if (weak && weak->m_selection == selection && weak->m_window && weak->m_window->isVisible() &&
                weak->m_window->pos() != frame.topLeft())
                weak->m_window->setGeometry(frame);
        }, this);
    }
    if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window()->windowType() == Qt::Popup)
        m_lastPopupPressTime = qint64(static_cast<QMouseEvent*>(event)->timestamp());
    return QObject::eventFilter(watched, event);
}

void FloatingBarWindowController::handleGlobalMouseDown(const GlobalMouseEvent& event) {
    const bool barVisible = m_window && m_window->isVisible();
    if (!barVisible && !isPopoverShown())
        return;
    // A press that closes an open list is the list's; Qt may have handled it before or after this.
    if (QApplication::activePopupWidget() || (event.timestampMs > 0 && event.timestampMs == m_lastPopupPressTime))
        return;
    if (m_window && m_window->frameGeometry().contains(event.position))
        return;
    if (isOwnWindowAt(event.position))
        return;
    if (isPopoverShown())
        m_translationPopover->performClose();
    hideWindow();
    m_hideTimer.cancel();
}

void FloatingBarWindowController::handleTranslate(const QString& targetLanguage) {
    m_hideTimer.cancel();
    QPointer<FloatingBarWindowController> weak(this);
    const QString text = m_selectedText;
    const quint64 selection = m_selection;
    MainQueue::asyncAfter(
        translateDelayMs,
        [weak, text, targetLanguage, selection] {
            if (weak && weak->m_selection == selection && weak->onTranslateClicked)
                weak->onTranslateClicked(text, targetLanguage);
        },
        this);
}

void FloatingBarWindowController::disableForFrontmostApplication() {
    const std::optional<RunningApplication> frontmost = platform().workspace().frontmostApplication();
    const QString bundleIdentifier = frontmost ? frontmost->bundleIdentifier : QString();
    if (!bundleIdentifier.isEmpty()) {
        ExcludedAppsManager::addExcludedApp(bundleIdentifier);
        FloatingBarNotificationService::postExcludedAppsChanged(ExcludedAppsManager::loadExcludedApps());
        debugLog(tag, QStringLiteral("🚫 Floating bar disabled for %1").arg(bundleIdentifier));
    }
    hideWindow();
}

TranslationPopoverView* FloatingBarWindowController::translationPopoverView() const {
    return m_translationPopover ? qobject_cast<TranslationPopoverView*>(m_translationPopover->contentWidget())
                                : nullptr;
}

void FloatingBarWindowController::showTranslationPopover(const QString& text, const QString& sourceLanguage,
                                                         const QString& targetLanguage) {
    if (isPopoverShown())
        m_translationPopover->performClose();
    m_hideTimer.cancel();

    const TranslationService service =
        translationServiceOrDefault(UserDefaults::standard()
                                        .optionalString(QStringLiteral("floatingBarTranslationService"))
                                        .value_or(QStringLiteral("google")));
    const int height = popoverHeight(text);

    if (!m_window || !m_view)
        return;

    // Unlike the bar, the popover comes on the user's click, so it takes the keyboard: Escape closes it and
    // its text can be selected and copied.
    auto* popover = new PopoverWindow(PopoverWindow::StaysOnTop);
    popover->setBehavior(PopoverWindow::Behavior::Semitransient);
    popover->setPositioningWindow(m_window);
    popover->setWindowTitle(QStringLiteral("Quillora translation"));
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), popover);
    connect(escape, &QShortcut::activated, popover, &PopoverWindow::performClose);
    auto* view = new TranslationPopoverView(text, sourceLanguage, targetLanguage, service,
                                            QStringLiteral("floating_bar"), height);
    popover->setContentWidget(view);
    popover->setContentSize(QSize(popoverWidth, height));
    // The popover follows the translation's length.
    connect(view, &TranslationPopoverView::popoverHeightChanged, popover,
            [popover](qreal newHeight) { popover->setContentSize(QSize(popoverWidth, int(newHeight))); });

    // Below the bar and the pointer where there is room, else above them.
    const QRect bar(m_view->mapToGlobal(m_view->barRect().topLeft()), m_view->barRect().size());
    WindowWorkspaces::showOnAllWorkspaces(popover);
    const QRect anchor = popoverAnchor(bar, m_pointer);
    QScreen* screen = QGuiApplication::screenAt(m_pointer);
    const QRect area = screen ? screen->availableGeometry() : anchor;
    popover->showRelativeTo(anchor, popoverEdge(anchor, area));
    popover->activate();

    // The popover closed last is dropped; its request, if still running, goes with it.
    if (m_translationPopover)
        m_translationPopover->deleteLater();
    m_translationPopover = popover;

    QPointer<FloatingBarWindowController> weak(this);
    connect(popover, &PopoverWindow::closed, this, [weak, popover] {
        if (weak && weak->m_translationPopover == popover) {
            weak->startHideTimer();
            weak->stopGlobalMonitorWhenNothingShows();
        }
    });
    startGlobalMonitorLater();
}

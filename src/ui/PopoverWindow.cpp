#include "ui/PopoverWindow.h"

#include "platform/HotKeyService.h"
#include "platform/MemoryTuning.h"
#include "platform/Platform.h"
#include "platform/WindowSystem.h"

#include "ui/Color.h"
#include "ui/Compositor.h"
#include "ui/DropShadow.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QWindow>
#include <algorithm>
#include <cmath>

namespace {

bool isVertical(PopoverWindow::Edge edge) {
    return edge == PopoverWindow::Edge::Top || edge == PopoverWindow::Edge::Bottom;
}

PopoverWindow::Edge opposite(PopoverWindow::Edge edge) {
    switch (edge) {
    case PopoverWindow::Edge::Top:
        return PopoverWindow::Edge::Bottom;
    case PopoverWindow::Edge::Bottom:
        return PopoverWindow::Edge::Top;
    case PopoverWindow::Edge::Left:
        return PopoverWindow::Edge::Right;
    case PopoverWindow::Edge::Right:
        return PopoverWindow::Edge::Left;
    }
    return edge;
}

// Room between the anchor and the screen border on one side.
int roomOn(PopoverWindow::Edge edge, const QRect& anchor, const QRect& screen) {
    switch (edge) {
    case PopoverWindow::Edge::Top:
        return anchor.top() - screen.top();
    case PopoverWindow::Edge::Bottom:
        return screen.top() + screen.height() - (anchor.top() + anchor.height());
    case PopoverWindow::Edge::Left:
        return anchor.left() - screen.left();
    case PopoverWindow::Edge::Right:
        return screen.left() + screen.width() - (anchor.left() + anchor.width());
    }
    return 0;
}

// Keeps [start, start + length) inside [low, low + span), preferring the low end when it cannot fit.
int clampSpan(int start, int length, int low, int span) {
    return std::max(low, std::min(start, low + span - length));
}

} // namespace

QWidget* PopoverWindow::widgetOf(QWindow* window) {
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* widget : windows) {
        if (widget->windowHandle() == window)
            return widget;
    }
    return nullptr;
}

QRegion PopoverWindow::regionOf(const QPainterPath& path) {
    QRegion region;
    for (const QPolygonF& polygon : path.toFillPolygons())
        region += QRegion(polygon.toPolygon(), Qt::WindingFill);
    return region;
}

PopoverWindow::PopoverWindow(Options options, QWidget* parent)
    : QWidget(parent) {
    Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint;
    if (options.testFlag(StaysOnTop))
        flags |= Qt::WindowStaysOnTopHint;
    if (options.testFlag(DoesNotAcceptFocus))
        flags |= Qt::WindowDoesNotAcceptFocus;
    setWindowFlags(flags);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setFocusPolicy(Qt::NoFocus);
        m_scroll->setAutoFillBackground(false);
    m_scroll->viewport()->setAutoFillBackground(false);
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            &PopoverWindow::handleApplicationStateChanged);
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* window) {
        if (window && window == windowHandle())
            m_activationPending = false;
        if (window) {
            m_lastFocusWindowWasOwnPopup = window->type() == Qt::Popup && contains(widgetOf(window));
            m_lastFocusWindow = window;
        }
    });
    Theme::followAppearance(this, [this] { update(); });
}

PopoverWindow::~PopoverWindow() {
    if (m_filterInstalled)
        qApp->removeEventFilter(this);
}

void PopoverWindow::setContentWidget(QWidget* content) {
    if (m_content == content)
        return;
    delete m_content;
    m_content = content;
    if (!content)
        return;
    if (m_contentSize.isEmpty())
        m_contentSize = content->sizeHint().expandedTo(QSize(1, 1));
    const bool filled = content->autoFillBackground();
    m_scroll->setWidget(content);
    // The scroll area would paint a background over the popover's material.
    content->setAutoFillBackground(filled);
    layoutContent();
    content->show();
}

void PopoverWindow::setContentSize(const QSize& size) {
    m_contentSize = size;
    if (isVisible()) {
        applyPlacement();
    } else {
        m_placement.contentArea = size;
        layoutContent();
    }
}

void PopoverWindow::setArrowVisible(bool visible) {
    m_arrowVisible = visible;
    if (isVisible())
        applyPlacement();
}

void PopoverWindow::setMaterial(VisualEffectView::Material material) {
    m_material = material;
    update();
}

PopoverWindow::Placement PopoverWindow::place(const QSize& contentSize, const QRect& anchor,
                                              const QRect& screen, Edge preferredEdge, bool arrow,
                                              int scrollBarWidth) {
    const int arrowSpace = arrow ? arrowLength : 0;
    Placement result;

    // The side: the preferred one when the popover fits there, else the opposite one when it fits there,
    // else whichever has more room.
    const int needed = (isVertical(preferredEdge) ? contentSize.height() : contentSize.width()) + arrowSpace;
    Edge edge = preferredEdge;
    if (roomOn(edge, anchor, screen) < needed) {
        const Edge other = opposite(edge);
        if (roomOn(other, anchor, screen) >= needed ||
            roomOn(other, anchor, screen) > roomOn(edge, anchor, screen))
            edge = other;
    }
    result.edge = edge;

    // What does not fit beside the anchor scrolls rather than covering the anchor or leaving the screen.
    QSize shown = contentSize;
    const int beside = std::max(1, roomOn(edge, anchor, screen) - arrowSpace);
    const int tall = std::max(1, screen.height() - (isVertical(edge) ? arrowSpace : 0));
    const int wide = std::max(1, screen.width() - (isVertical(edge) ? 0 : arrowSpace));
    shown.setHeight(std::min({shown.height(), tall, isVertical(edge) ? beside : tall}));
    if (shown.height() < contentSize.height())
        shown.rwidth() += scrollBarWidth;
    shown.setWidth(std::min({shown.width(), wide, isVertical(edge) ? wide : beside}));
    result.contentArea = shown;
    result.scrolls = shown.height() < contentSize.height() || shown.width() < contentSize.width();

    QSize size = shown;
    if (isVertical(edge))
        size.rheight() += arrowSpace;
    else
        size.rwidth() += arrowSpace;

    const QPointF center = QRectF(anchor).center();
    const int centeredX = anchor.left() + (anchor.width() - size.width()) / 2;
    const int centeredY = anchor.top() + (anchor.height() - size.height()) / 2;
    int x = 0;
    int y = 0;
    switch (edge) {
    case Edge::Top:
        y = anchor.top() - size.height();
        x = centeredX;
        break;
    case Edge::Bottom:
        y = anchor.top() + anchor.height();
        x = centeredX;
        break;
    case Edge::Left:
        x = anchor.left() - size.width();
        y = centeredY;
        break;
    case Edge::Right:
        x = anchor.left() + anchor.width();
        y = centeredY;
        break;
    }
    x = clampSpan(x, size.width(), screen.left(), screen.width());
    y = clampSpan(y, size.height(), screen.top(), screen.height());
    result.frame = QRect(QPoint(x, y), size);

    if (arrow) {
        // The arrow points at the anchor's middle, but never into the rounded corners.
        const int low = int(cornerRadius) + arrowWidth / 2;
        const int length = isVertical(edge) ? size.width() : size.height();
        const int wanted = int(std::lround(isVertical(edge) ? center.x() - x : center.y() - y));
        result.arrowCenter = length >= 2 * low ? std::clamp(wanted, low, length - low) : length / 2;
    }
    return result;
}

void PopoverWindow::showRelativeTo(const QRect& anchor, Edge preferredEdge) {
    m_anchor = anchor;
    m_preferredEdge = preferredEdge;
    m_composited = Compositor::isRunning();
    applyPlacement();
    if (!isVisible()) {
        m_applicationState = QGuiApplication::applicationState();
        if (QWindow* focus = QGuiApplication::focusWindow())
            m_lastFocusWindow = focus;
        show();
    }
    raise();
}

void PopoverWindow::applyPlacement() {
    QScreen* screen = QGuiApplication::screenAt(m_anchor.center());
    if (!screen)
        screen = QGuiApplication::screenAt(m_anchor.topLeft());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(m_anchor.topLeft(), m_contentSize);
    m_placement = place(m_contentSize, m_anchor, area, m_preferredEdge, m_arrowVisible,
                        m_scroll->verticalScrollBar()->sizeHint().width());
    // The window is told its place before its size: a resize keeps the position Qt last heard of for the
    // window, which may be one it never had (the window manager's frame not yet placed when Qt asked where the
    // window was), and the widget, not having heard that yet, takes the move after it for no move at all.
    const QRect frame = m_placement.frame;
    if (QWindow* window = windowHandle())
        window->setPosition(frame.topLeft());
    setFixedSize(frame.size());
    move(frame.topLeft());
    layoutContent();
    if (m_composited) {
        clearMask();
    } else {
        const QRegion shape = maskRegion();
        setMask(shape);
        // The outline is the mask's own edge pixels: a stroke along the path would be cut by the mask
        // unevenly, its outer half kept on some sides and not on others.
        m_maskEdge = shape - (shape & shape.translated(1, 0) & shape.translated(-1, 0) & shape.translated(0, 1) &
                              shape.translated(0, -1));
    }
    update();
}

QRect PopoverWindow::contentRect() const {
    const int arrowSpace = m_arrowVisible && m_placement.arrowCenter >= 0 ? arrowLength : 0;
    QRect area(QPoint(0, 0), m_placement.contentArea.isEmpty() ? m_contentSize : m_placement.contentArea);
    switch (m_placement.edge) {
    case Edge::Bottom:
        area.translate(0, arrowSpace);
        break;
    case Edge::Right:
        area.translate(arrowSpace, 0);
        break;
    case Edge::Top:
    case Edge::Left:
        break;
    }
    return area;
}

void PopoverWindow::layoutContent() {
    // Scroll bars where the placement has the content scroll, and none elsewhere. Left to the scroll area,
    // one shown while the content was larger for a moment (grown before the popover is told) would stay,
    // and narrow the view until it needs the other one too.
    const QSize area = contentRect().size();
    bool vertical = area.height() < m_contentSize.height();
    const bool horizontal =
        area.width() - (vertical ? m_scroll->verticalScrollBar()->sizeHint().width() : 0) < m_contentSize.width();
    vertical = vertical || (horizontal && area.height() - m_scroll->horizontalScrollBar()->sizeHint().height() <
                                              m_contentSize.height());
    m_scroll->setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    m_scroll->setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    m_scroll->setGeometry(contentRect());
    if (m_content)
        m_content->resize(m_contentSize);
}

QRegion PopoverWindow::maskRegion() const {
    // Built row by row (column by column beside a side arrow) around the middle of each span, so that
    // the shape is symmetric to the pixel, as the path's polygons rounded to whole pixels are not.
    const QRect body = contentRect();
    const int r = int(cornerRadius);
    QRegion shape;
    const auto inset = [r](int index, int length) {
        const qreal d = std::min(index + 0.5, length - index - 0.5);
        return d >= r ? 0 : int(std::lround(r - std::sqrt(qreal(r * r) - (r - d) * (r - d))));
    };
    for (int y = 0; y < body.height(); ++y) {
        const int in = inset(y, body.height());
        shape += QRect(body.left() + in, body.top() + y, body.width() - 2 * in, 1);
    }
    if (!m_arrowVisible || m_placement.arrowCenter < 0)
        return shape;
    const int c = m_placement.arrowCenter;
    for (int step = 0; step < arrowLength; ++step) {
        // Half the arrow's width at this distance from its tip.
        const int half = int(std::lround((step + 0.5) * arrowWidth / 2.0 / arrowLength));
        switch (m_placement.edge) {
        case Edge::Bottom:
            shape += QRect(c - half, body.top() - arrowLength + step, 2 * half, 1);
            break;
        case Edge::Top:
            shape += QRect(c - half, body.bottom() + arrowLength - step, 2 * half, 1);
            break;
        case Edge::Right:
            shape += QRect(body.left() - arrowLength + step, c - half, 1, 2 * half);
            break;
        case Edge::Left:
            shape += QRect(body.right() + arrowLength - step, c - half, 1, 2 * half);
            break;
        }
    }
    return shape;
}

QPainterPath PopoverWindow::bubblePath() const {
    QPainterPath path;
    const QRectF body(contentRect());
    path.addRoundedRect(body, cornerRadius, cornerRadius);
    if (!m_arrowVisible || m_placement.arrowCenter < 0)
        return path;
    const qreal c = m_placement.arrowCenter;
    const qreal half = arrowWidth / 2.0;
    QPolygonF arrow;
    switch (m_placement.edge) {
    case Edge::Bottom: // popover below the anchor: arrow on top, pointing up
        arrow << QPointF(c - half, body.top() + 1) << QPointF(c, body.top() - arrowLength)
              << QPointF(c + half, body.top() + 1);
        break;
    case Edge::Top:
        arrow << QPointF(c - half, body.bottom() - 1) << QPointF(c, body.bottom() + arrowLength)
              << QPointF(c + half, body.bottom() - 1);
        break;
    case Edge::Right:
        arrow << QPointF(body.left() + 1, c - half) << QPointF(body.left() - arrowLength, c)
              << QPointF(body.left() + 1, c + half);
        break;
    case Edge::Left:
        arrow << QPointF(body.right() - 1, c - half) << QPointF(body.right() + arrowLength, c)
              << QPointF(body.right() - 1, c + half);
        break;
    }
    QPainterPath arrowPath;
    arrowPath.addPolygon(arrow);
    arrowPath.closeSubpath();
    return path.united(arrowPath);
}

void PopoverWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!m_composited) {
        // The mask gives the shape; every pixel inside it is opaque.
        painter.fillRect(rect(), VisualEffectView::fillColor(m_material, false));
        painter.setClipRegion(m_maskEdge);
        painter.fillRect(rect(), Color::withOpacity(Theme::border(), 1.6));
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath bubble = bubblePath();
    painter.fillPath(bubble, VisualEffectView::fillColor(m_material, true));
    painter.setPen(QPen(Theme::border(), 1.0));
    painter.drawPath(bubble);
}

void PopoverWindow::setStaysOnTop(bool staysOnTop) {
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == staysOnTop)
        return;
    Qt::WindowFlags flags = windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, staysOnTop);
    // setWindowFlags() would make the window anew and hide it; its native window takes the change as it is.
    overrideWindowFlags(flags);
    if (QWindow* window = windowHandle())
        window->setFlags(flags);
}

void PopoverWindow::activate() {
    m_activationPending = true;
    activateWindow();
}

void PopoverWindow::showEvent(QShowEvent* event) {
    if (!m_filterInstalled) {
        qApp->installEventFilter(this);
        m_filterInstalled = true;
    }
    watchPressesElsewhere(m_behavior == Behavior::Transient);
    QWidget::showEvent(event);
}

void PopoverWindow::watchPressesElsewhere(bool watch) {
    if (!watch || !hasPlatform()) {
        m_pressMonitor.reset();
        return;
    }
    if (m_pressMonitor)
        return;
    // A press on the bare desktop activates no other application (under icewm, say): it is seen here.
    m_pressMonitor = platform().createGlobalMouseMonitor();
    QPointer<PopoverWindow> self(this);
    if (m_pressMonitor && !m_pressMonitor->start([self](const GlobalMouseEvent& event) {
            if (self)
                self->handlePressElsewhere(event);
        }))
        m_pressMonitor.reset();
}

void PopoverWindow::handlePressElsewhere(const GlobalMouseEvent& event) {
    if (event.type != GlobalMouseEvent::Type::LeftMouseDown && event.type != GlobalMouseEvent::Type::RightMouseDown)
        return;
    if (m_behavior != Behavior::Transient || !isVisible())
        return;
    // Presses in our own windows are the application's (the event filter's); one that closes an open list
    // or menu is used up by it, whether Qt has handled it before this or not.
    if (QApplication::activePopupWidget() || (event.timestampMs > 0 && event.timestampMs == m_lastPopupPressTime))
        return;
    if (platform().windowSystem().ownWindowAt(event.position))
        return;
    m_closingPress = event.position;
    m_sinceClosingPress.start();
    // Later: the monitor, which runs this handler, goes with the closing.
    QPointer<PopoverWindow> self(this);
    QMetaObject::invokeMethod(
        this,
        [self] {
            if (self)
                self->hide();
        },
        Qt::QueuedConnection);
}

bool PopoverWindow::wasClosedByPressAt(QPoint point, int ms) const {
    constexpr int slop = 4;
    return m_sinceClosingPress.isValid() && !m_sinceClosingPress.hasExpired(ms) &&
           (point - m_closingPress).manhattanLength() <= slop;
}

void PopoverWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // A window manager unmapping us (a workspace switch) is no closing.
    if (event->spontaneous())
        return;
    if (m_filterInstalled) {
        qApp->removeEventFilter(this);
        m_filterInstalled = false;
    }
    watchPressesElsewhere(false);
    m_activationPending = false;
    Q_EMIT closed();
    // The shadows are drawn again on the next showing; until then their images are dead weight. The
    // children hear of the hiding after this, and drop their own images then.
    DropShadow::releaseImages();
    QMetaObject::invokeMethod(this, [] { returnFreedMemory(); }, Qt::QueuedConnection);
}

bool PopoverWindow::contains(const QObject* object) const {
    // Menus and popovers opened from inside the popover are its descendants, though they are windows of
    // their own.
    for (const QObject* o = object; o; o = o->parent()) {
        if (o == this || (m_anchorWidget && o == m_anchorWidget))
            return true;
    }
    return false;
}

bool PopoverWindow::closesOnPressIn(const QWidget* widget) const {
    if (m_behavior != Behavior::Semitransient)
        return true;
    // Lists and menus opened from the positioning window count as part of it. A popover hung from a point
    // has no window there the user could press.
    for (const QObject* o = widget; o; o = o->parent()) {
        if (o == m_positioningWindow)
            return true;
    }
    return false;
}

bool PopoverWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window()->windowType() == Qt::Popup)
        m_lastPopupPressTime = qint64(static_cast<QMouseEvent*>(event)->timestamp());
    if (m_behavior != Behavior::ApplicationDefined && isVisible() && watched->isWidgetType() &&
        (event->type() == QEvent::MouseButtonPress ||
         event->type() == QEvent::NonClientAreaMouseButtonPress) &&
        !contains(watched) && closesOnPressIn(static_cast<QWidget*>(watched))) {
        hide();
    }
    return QWidget::eventFilter(watched, event);
}

void PopoverWindow::handleApplicationStateChanged(Qt::ApplicationState state) {
    const Qt::ApplicationState previous = m_applicationState;
    m_applicationState = state;
    if (m_behavior == Behavior::ApplicationDefined || !isVisible() || m_activationPending)
        return;
    // A hot key of ours held down has its grab take the keyboard from our focused window, and the toolkit
    // takes that for the application going inactive; no other application has the keyboard then.
    if (hasPlatform() && platform().hotKeyService().isHotKeyHeld())
        return;
    // A list or menu opened from inside the popover activates this application while it is open and
    // deactivates it again when it closes; no other application became active.
    // Nor did one when a window of ours that had the focus was closed (a popover the press that opened
    // this one closed).
    const bool ownWindowClosed = m_lastFocusWindow && !m_lastFocusWindow->isVisible();
    if (previous == Qt::ApplicationActive && state != Qt::ApplicationActive && !m_lastFocusWindowWasOwnPopup &&
        !ownWindowClosed)
        hide();
}

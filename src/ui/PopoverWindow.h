#pragma once

#include "platform/GlobalMouseMonitor.h"
#include "ui/VisualEffectView.h"

#include <QElapsedTimer>
#include <QPainterPath>
#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <memory>

// A frameless, rounded, translucent window shown beside an anchor rectangle, with an optional arrow
// pointing at the anchor. It always stays entirely on the anchor's screen: when the preferred side has
// no room it opens on the opposite side, and it slides along the edge as far as needed. Content larger
// than the room beside the anchor scrolls, so the popover never covers its anchor.
//
// Closing behaviours:
//  - ApplicationDefined: only when told (hide()/close()/performClose()).
//  - Transient: on any press outside it in this application, on a press anywhere else on the screen (the
//    bare desktop included, which activates no application), and when this application stops being the
//    active one.
//  - Semitransient: on a press in its positioning window (never when it hangs from a point, with none
//    set), and when another application becomes active.
// Either way `closed` follows once per showing.
class QScrollArea;

class PopoverWindow : public QWidget {
    Q_OBJECT
public:
    enum class Behavior { ApplicationDefined, Transient, Semitransient };
    // The side of the anchor on which the popover opens.
    enum class Edge { Top, Bottom, Left, Right };
    enum Option { NoOptions = 0x0, StaysOnTop = 0x1, DoesNotAcceptFocus = 0x2 };
    Q_DECLARE_FLAGS(Options, Option)

    struct Placement {
        QRect frame;
        Edge edge = Edge::Bottom;
        // Middle of the arrow along the edge it sits on, in window coordinates; -1 without an arrow.
        int arrowCenter = -1;
        // The content area: the content's own size where the screen has room for it, else less, and the
        // content scrolls (with `scrollBarWidth` added beside it where it scrolls vertically).
        QSize contentArea;
        bool scrolls = false;
    };

    static constexpr int arrowLength = 9;
    static constexpr int arrowWidth = 18;
    static constexpr qreal cornerRadius = 10;

    explicit PopoverWindow(Options options = StaysOnTop, QWidget* parent = nullptr);
    ~PopoverWindow() override;

    // Takes ownership; the previous content is deleted.
    void setContentWidget(QWidget* content);
    QWidget* contentWidget() const { return m_content; }
    // Size of the content area (the window without the arrow). A shown popover is placed again.
    void setContentSize(const QSize& size);
    QSize contentSize() const { return m_contentSize; }

    void setBehavior(Behavior behavior) { m_behavior = behavior; }
    // Over every other window, or stacked as the window manager stacks ordinary ones.
    void setStaysOnTop(bool staysOnTop);
    Behavior behavior() const { return m_behavior; }
    void setArrowVisible(bool visible);
    bool isArrowVisible() const { return m_arrowVisible; }
    void setMaterial(VisualEffectView::Material material);
    // Presses on this widget (the control that opens and closes the popover) are left to it.
    void setAnchorWidget(QWidget* widget) { m_anchorWidget = widget; }
    // The window it hangs from: a semitransient popover closes on presses there, not in our other windows.
    void setPositioningWindow(QWidget* window) { m_positioningWindow = window; }

    // Shows the popover beside `anchor` (global coordinates) on `preferredEdge` where it fits.
    void showRelativeTo(const QRect& anchor, Edge preferredEdge);
    bool isShown() const { return isVisible(); }
    // Whether a press outside the application closed it at `point` within the last `ms` milliseconds: the
    // press of a click whose release reaches us as well (a tray drawn by another program).
    bool wasClosedByPressAt(QPoint point, int ms) const;
    void performClose() { hide(); }
    // Takes the keyboard (a popover that accepts focus). Until the window manager has given it, a
    // deactivation still on its way from the previously focused window does not close the popover.
    void activate();
    // As activate() for a popover whose activation is asked for a moment later.
    void expectActivation() { m_activationPending = true; }

    QRect anchor() const { return m_anchor; }
    Edge edge() const { return m_placement.edge; }
    Placement placement() const { return m_placement; }

    // The pixels a shape covers, for window masks.
    static QRegion regionOf(const QPainterPath& path);

    // Where a popover with content of `contentSize` goes beside `anchor`, inside `screen`.
    static Placement place(const QSize& contentSize, const QRect& anchor, const QRect& screen,
                           Edge preferredEdge, bool arrow, int scrollBarWidth = 0);

Q_SIGNALS:
    void closed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyPlacement();
    void layoutContent();
    QRect contentRect() const;
    QPainterPath bubblePath() const;
    QRegion maskRegion() const;
    bool contains(const QObject* object) const;
    bool closesOnPressIn(const QWidget* widget) const;
    void handleApplicationStateChanged(Qt::ApplicationState state);
    void watchPressesElsewhere(bool watch);
    void handlePressElsewhere(const GlobalMouseEvent& event);
    static QWidget* widgetOf(QWindow* window);

    QPointer<QWidget> m_content;
    // Holds the content; it scrolls only where the screen is too small for it.
    QScrollArea* m_scroll = nullptr;
    QPointer<QWidget> m_anchorWidget;
    QPointer<QWidget> m_positioningWindow;
    QSize m_contentSize;
    Behavior m_behavior = Behavior::Transient;
    bool m_arrowVisible = true;
    VisualEffectView::Material m_material = VisualEffectView::Material::Popover;
    QRect m_anchor;
    Edge m_preferredEdge = Edge::Bottom;
    Placement m_placement;
    QRegion m_maskEdge;
    Qt::ApplicationState m_applicationState = Qt::ApplicationInactive;
    bool m_composited = true;
    bool m_filterInstalled = false;
    bool m_lastFocusWindowWasOwnPopup = false;
    QPointer<QWindow> m_lastFocusWindow;
    bool m_activationPending = false;
    std::unique_ptr<GlobalMouseMonitor> m_pressMonitor;
    // The last press in a list or menu of ours (they take every press while open), by its time stamp.
    qint64 m_lastPopupPressTime = -1;
    QPoint m_closingPress;
    QElapsedTimer m_sinceClosingPress;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(PopoverWindow::Options)

#include "ui/PopoverWindow.h"

#include "FakePlatform.h"
#include "TestUtils.h"

#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>
#include <qpa/qwindowsysteminterface.h>

using Edge = PopoverWindow::Edge;

namespace {

const QRect screen(0, 0, 1600, 1000);
const QSize content(450, 320);
// How far the arrow reaches out of the bubble.
constexpr int arrow = 9;

bool inside(const QRect& frame, const QRect& area) {
    return area.contains(frame);
}

} // namespace

TEST(PopoverPlacement, OpensOnThePreferredSideCentredOnTheAnchor) {
    const QRect anchor(700, 400, 110, 1);
    const auto below = PopoverWindow::place(content, anchor, screen, Edge::Bottom, true);
    EXPECT_EQ(below.edge, Edge::Bottom);
    EXPECT_EQ(below.frame.top(), anchor.bottom() + 1);
    EXPECT_EQ(below.frame.size(), QSize(450, 320 + arrow));
    EXPECT_EQ(QRectF(below.frame).center().x(), QRectF(anchor).center().x());
    EXPECT_EQ(below.arrowCenter, below.frame.width() / 2);

    const auto above = PopoverWindow::place(content, anchor, screen, Edge::Top, true);
    EXPECT_EQ(above.edge, Edge::Top);
    EXPECT_EQ(above.frame.bottom(), anchor.top() - 1);

    const auto right = PopoverWindow::place(content, anchor, screen, Edge::Right, true);
    EXPECT_EQ(right.edge, Edge::Right);
    EXPECT_EQ(right.frame.left(), anchor.right() + 1);
    EXPECT_EQ(right.frame.size(), QSize(450 + arrow, 320));
}

TEST(PopoverPlacement, FlipsToTheOtherSideWhenThePreferredOneHasNoRoom) {
    const QRect nearBottom(700, 900, 110, 1);
    const auto above = PopoverWindow::place(content, nearBottom, screen, Edge::Bottom, true);
    EXPECT_EQ(above.edge, Edge::Top);
    EXPECT_EQ(above.frame.bottom(), nearBottom.top() - 1);
    EXPECT_TRUE(inside(above.frame, screen));

    const QRect nearTop(700, 20, 110, 60);
    EXPECT_EQ(PopoverWindow::place(content, nearTop, screen, Edge::Top, true).edge, Edge::Bottom);

    const QRect nearRight(1400, 400, 110, 60);
    const auto left = PopoverWindow::place(content, nearRight, screen, Edge::Right, true);
    EXPECT_EQ(left.edge, Edge::Left);
    EXPECT_EQ(left.frame.right(), nearRight.left() - 1);
}

TEST(PopoverPlacement, SlidesAlongTheEdgeToStayOnScreenWithTheArrowOnTheAnchor) {
    const QRect nearRightEdge(1560, 400, 30, 1);
    const auto p = PopoverWindow::place(content, nearRightEdge, screen, Edge::Bottom, true);
    EXPECT_TRUE(inside(p.frame, screen));
    EXPECT_EQ(p.frame.right(), screen.right());
    EXPECT_EQ(p.arrowCenter, 1575 - p.frame.left());

    const QRect atLeftEdge(0, 400, 10, 1);
    const auto q = PopoverWindow::place(content, atLeftEdge, screen, Edge::Bottom, true);
    EXPECT_EQ(q.frame.left(), 0);
    // The anchor lies under the rounded corner: the arrow stops where the straight edge begins, half
    // its 18 across the 10 of the corner.
    EXPECT_EQ(q.arrowCenter, 19);

    const QRect nearTopEdge(1000, 5, 60, 20);
    const auto r = PopoverWindow::place(content, nearTopEdge, screen, Edge::Left, true);
    EXPECT_EQ(r.edge, Edge::Left);
    EXPECT_EQ(r.frame.top(), 0);
    EXPECT_TRUE(inside(r.frame, screen));
}

TEST(PopoverPlacement, StaysOnTheAnchorsScreenAnywhereOnTheDesktop) {
    const QRect second(1600, 200, 1280, 800);
    const QRect anchor(2850, 960, 20, 20);
    const auto p = PopoverWindow::place(content, anchor, second, Edge::Bottom, true);
    EXPECT_EQ(p.edge, Edge::Top);
    EXPECT_TRUE(inside(p.frame, second));
}

// Too big for either side: the roomier one, as tall (or wide) as it allows, the content scrolling beside a
// scroll bar; the anchor (a tray icon at the screen's top) stays uncovered.
TEST(PopoverPlacement, TooTallForEitherSideTakesTheRoomierOneAndScrollsThere) {
    const QRect small(0, 0, 800, 400);
    const QRect anchor(300, 120, 100, 10);
    const auto p = PopoverWindow::place(QSize(300, 300), anchor, small, Edge::Top, true, 12);
    EXPECT_EQ(p.edge, Edge::Bottom);
    EXPECT_TRUE(inside(p.frame, small));
    EXPECT_FALSE(p.frame.intersects(anchor));
    EXPECT_TRUE(p.scrolls);
    EXPECT_EQ(p.contentArea, QSize(312, 270 - arrow));

    const QRect trayIcon(700, 0, 24, 24);
    const auto tray = PopoverWindow::place(QSize(400, 1100), trayIcon, small, Edge::Bottom, true, 12);
    EXPECT_EQ(tray.frame, QRect(388, 24, 412, 376));
    EXPECT_TRUE(PopoverWindow::place(QSize(400, 300), trayIcon, small, Edge::Bottom, true, 12).contentArea ==
                QSize(400, 300));

    // Beside the anchor, too wide for either side: as wide as the side allows, the anchor uncovered.
    const QRect middle(350, 150, 100, 40);
    const auto side = PopoverWindow::place(QSize(500, 200), middle, small, Edge::Left, true, 12);
    EXPECT_EQ(side.edge, Edge::Left);
    EXPECT_TRUE(side.scrolls);
    EXPECT_EQ(side.contentArea, QSize(350 - arrow, 200));
    EXPECT_EQ(side.frame.right(), middle.left() - 1);
    EXPECT_TRUE(inside(side.frame, small));
}

TEST(PopoverPlacement, WithoutArrowTheWindowIsTheContent) {
    const auto p = PopoverWindow::place(content, QRect(700, 400, 10, 10), screen, Edge::Bottom, false);
    EXPECT_EQ(p.frame.size(), content);
    EXPECT_EQ(p.arrowCenter, -1);
}

namespace {

class PopoverClosing : public ::testing::Test {
protected:
    void SetUp() override {
        m_other.resize(200, 200);
        m_other.move(0, 0);
        m_other.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_other));
    }

    PopoverWindow* showPopover(PopoverWindow::Behavior behavior) {
        auto* popover = new PopoverWindow;
        m_popovers.emplace_back(popover);
        popover->setBehavior(behavior);
        popover->setContentWidget(new QWidget);
        popover->setContentSize(QSize(200, 100));
        popover->showRelativeTo(QRect(500, 300, 100, 20), Edge::Bottom);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(popover));
        return popover;
    }

    static void setApplicationState(Qt::ApplicationState state) {
        QWindowSystemInterface::handleApplicationStateChanged(state, true);
        QWindowSystemInterface::flushWindowSystemEvents();
    }

    QWidget m_other;
    std::vector<std::unique_ptr<PopoverWindow>> m_popovers;
};

} // namespace

TEST_F(PopoverClosing, TransientAndSemitransientCloseOnAPressElsewhereInTheApplication) {
    for (auto behavior : {PopoverWindow::Behavior::Transient, PopoverWindow::Behavior::Semitransient}) {
        PopoverWindow* popover = showPopover(behavior);
        // Where a semitransient one hangs from.
        popover->setPositioningWindow(&m_other);
        QSignalSpy closed(popover, &PopoverWindow::closed);

        QTest::mouseClick(popover->contentWidget(), Qt::LeftButton);
        EXPECT_TRUE(popover->isShown());

        QTest::mouseClick(&m_other, Qt::LeftButton);
        EXPECT_FALSE(popover->isShown());
        EXPECT_EQ(closed.count(), 1);

        // Once closed, further presses change nothing.
        QTest::mouseClick(&m_other, Qt::LeftButton);
        EXPECT_EQ(closed.count(), 1);
    }

    // A semitransient popover hung from a window closes on presses there, not in our other windows.
    QWidget positioning;
    positioning.setGeometry(300, 0, 100, 60);
    auto* child = new QWidget(&positioning);
    child->setGeometry(0, 0, 50, 30);
    positioning.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&positioning));
    PopoverWindow* popover = showPopover(PopoverWindow::Behavior::Semitransient);
    popover->setPositioningWindow(&positioning);
    QTest::mouseClick(&m_other, Qt::LeftButton);
    EXPECT_TRUE(popover->isShown());
    QTest::mouseClick(child, Qt::LeftButton);
    EXPECT_FALSE(popover->isShown());
    // Hung from a point, it has no such window: a press in any of ours leaves it.
    popover = showPopover(PopoverWindow::Behavior::Semitransient);
    QTest::mouseClick(&m_other, Qt::LeftButton);
    QTest::mouseClick(child, Qt::LeftButton);
    EXPECT_TRUE(popover->isShown());
}

// A press elsewhere on the screen closes a transient popover, on the bare desktop too, which under some
// window managers activates no other application. Others are left to their owners; a press in a window of
// ours is the application's, and one that closes an open list is used up by the list.
TEST_F(PopoverClosing, APressElsewhereOnTheScreenClosesATransientOne) {
    using Behavior = PopoverWindow::Behavior;
    const struct {
        const char* where;
        Behavior behavior;
        QPoint at;
        bool listOpen;
        bool closes;
    } rows[] = {
        {"the desktop", Behavior::Transient, {750, 580}, false, true},
        {"the desktop, semitransient", Behavior::Semitransient, {750, 580}, false, false},
        {"the desktop, application-defined", Behavior::ApplicationDefined, {750, 580}, false, false},
        {"a window of ours", Behavior::Transient, {100, 100}, false, false},
        {"the desktop, closing an open list", Behavior::Transient, {750, 580}, true, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.where);
        PopoverWindow* popover = showPopover(row.behavior);
        QMenu list;
        list.addAction(QStringLiteral("Entry"));
        if (row.listOpen)
            list.popup(QPoint(520, 340));
        for (FakeGlobalMouseMonitor* monitor : std::as_const(fakePlatform().mouseMonitors)) {
            if (monitor)
                monitor->send(GlobalMouseEvent::Type::LeftMouseDown, row.at);
        }
        runQueuedWork();
        EXPECT_EQ(!popover->isShown(), row.closes);
        // Closed, it watches no more. The press may be that of a click whose release reaches us later (on a
        // tray another program draws).
        EXPECT_TRUE(!row.closes || fakePlatform().mouseMonitors.last().isNull());
        EXPECT_EQ(popover->wasClosedByPressAt(row.at + QPoint(1, 1), 1000), row.closes);
    }
}

TEST_F(PopoverClosing, WindowsOpenedFromInsideThePopoverCountAsInside) {
    PopoverWindow* popover = showPopover(PopoverWindow::Behavior::Transient);
    auto* menu = new QMenu(popover->contentWidget());
    menu->addAction(QStringLiteral("Entry"));
    menu->popup(QPoint(520, 340));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    QTest::mouseClick(menu, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(popover->isShown());
}

TEST_F(PopoverClosing, ApplicationDefinedClosesOnlyWhenTold) {
    PopoverWindow* popover = showPopover(PopoverWindow::Behavior::ApplicationDefined);
    QSignalSpy closed(popover, &PopoverWindow::closed);
    QTest::mouseClick(&m_other, Qt::LeftButton);
    setApplicationState(Qt::ApplicationActive);
    setApplicationState(Qt::ApplicationInactive);
    EXPECT_TRUE(popover->isShown());
    EXPECT_EQ(closed.count(), 0);

    popover->performClose();
    EXPECT_FALSE(popover->isShown());
    EXPECT_EQ(closed.count(), 1);
}

TEST_F(PopoverClosing, ClosesWhenAnotherApplicationBecomesActive) {
    // What took the keyboard: another application, or the grab of a hot key of ours held down, which
    // the toolkit takes for this application going inactive too.
    const struct {
        const char* what;
        int heldMs;
        bool closes;
    } rows[] = {
        {"another application", 0, true},
        {"a hot key of ours held 0.15 s", 150, false},
        {"a hot key of ours held 1 s", 1000, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        setApplicationState(Qt::ApplicationActive);
        PopoverWindow* transient = showPopover(PopoverWindow::Behavior::Transient);
        PopoverWindow* semitransient = showPopover(PopoverWindow::Behavior::Semitransient);
        if (row.heldMs > 0)
            fakePlatform().fakeHotKeys().hold(1);
        setApplicationState(Qt::ApplicationInactive);
        runQueuedWork(row.heldMs);
        EXPECT_EQ(!transient->isShown(), row.closes);
        EXPECT_EQ(!semitransient->isShown(), row.closes);
        fakePlatform().fakeHotKeys().release(1);
    }
}

TEST_F(PopoverClosing, ResizingAShownPopoverKeepsItOnItsAnchor) {
    PopoverWindow* popover = showPopover(PopoverWindow::Behavior::ApplicationDefined);
    const QRect anchor = popover->anchor();
    popover->setContentSize(QSize(300, 180));
    EXPECT_EQ(popover->size(), QSize(300, 189));
    EXPECT_EQ(popover->geometry().top(), anchor.bottom() + 1);
    EXPECT_EQ(QRectF(popover->geometry()).center().x(), QRectF(anchor).center().x());
    QWidget* content = popover->contentWidget();
    EXPECT_EQ(QRect(content->mapTo(popover, QPoint(0, 0)), content->size()),
              QRect(0, 9, 300, 180));
}

TEST_F(PopoverClosing, PressesOnTheAnchorWidgetAreLeftToIt) {
    PopoverWindow* popover = showPopover(PopoverWindow::Behavior::Transient);
    popover->setAnchorWidget(&m_other);
    QTest::mouseClick(&m_other, Qt::LeftButton);
    EXPECT_TRUE(popover->isShown());
}

TEST_F(PopoverClosing, AListOpenedInsideThatClosesAgainIsNoOtherApplication) {
    setApplicationState(Qt::ApplicationActive);
    PopoverWindow* popover = showPopover(PopoverWindow::Behavior::Semitransient);
    auto* menu = new QMenu(popover->contentWidget());
    menu->addAction(QStringLiteral("Entry"));
    menu->popup(QPoint(520, 340));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    menu->windowHandle()->requestActivate();
    ASSERT_TRUE(waitUntil([menu] { return QGuiApplication::focusWindow() == menu->windowHandle(); }, 10000));
    menu->close();
    setApplicationState(Qt::ApplicationInactive);
    EXPECT_TRUE(popover->isShown());

    // With one of its own windows in front, this application losing the focus does close it.
    setApplicationState(Qt::ApplicationActive);
    m_other.windowHandle()->requestActivate();
    ASSERT_TRUE(
        waitUntil([this] { return QGuiApplication::focusWindow() == m_other.windowHandle(); }, 10000));
    setApplicationState(Qt::ApplicationInactive);
    EXPECT_FALSE(popover->isShown());
}

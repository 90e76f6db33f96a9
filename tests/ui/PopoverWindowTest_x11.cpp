// Popovers on a real window manager, where the focus and the application's activation come from the X
// server, late and in its own order.
#include "ui/PopoverWindow.h"

#include "platform/Platform.h"
#include "platform/WindowSystem.h"
#include "ui/DropShadow.h"
#include "ui/StateReport.h"
#include "ui/Theme.h"

#include "Desktop.h"
#include "TestUtils.h"
#include "TextWindowProcess.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <qpa/qwindowsysteminterface.h>
#include <xcb/xcb.h>

using Edge = PopoverWindow::Edge;

namespace {

// Shows `popover`, closing only when told, with `content` of `size` below `anchor`.
void showBelow(PopoverWindow& popover, QWidget* content, QSize size, const QRect& anchor) {
    popover.setBehavior(PopoverWindow::Behavior::ApplicationDefined);
    popover.setContentWidget(content);
    popover.setContentSize(size);
    popover.showRelativeTo(anchor, Edge::Bottom);
}

} // namespace

// A press on a bar's button closes the focused popover beside it (a press elsewhere in the application),
// and the click opens a menu from the bar: the deactivation that follows the popover's closing, as the
// window manager gives the focus back to the application the text came from, is no click in another
// application, so the menu stays.
TEST(PopoverFocus, AMenuOpenedByThePressThatClosedTheFocusedPopoverStays) {
    TextWindowProcess client(QStringLiteral(QUILLORA_TEST_TEXTWINDOW_PATH));
    ASSERT_TRUE(client.start());
    ASSERT_TRUE(Desktop::waitForActiveWindow(client.windowId()));

    QWidget bar(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                             Qt::WindowDoesNotAcceptFocus);
    bar.setAttribute(Qt::WA_ShowWithoutActivating);
    auto* options = new QPushButton(QStringLiteral("..."), &bar);
    options->setFocusPolicy(Qt::NoFocus);
    const QRect place(900, 200, 80, 40);
    bar.setGeometry(place);
    options->setGeometry(bar.rect());
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    // Where it was put, whatever the window manager first made of it.
    ASSERT_TRUE(waitUntil([&] {
        if (bar.geometry() != place)
            bar.setGeometry(place);
        return bar.geometry() == place;
    }));

    PopoverWindow focused(PopoverWindow::StaysOnTop);
    focused.setBehavior(PopoverWindow::Behavior::Transient);
    focused.setContentWidget(new QLineEdit);
    focused.setContentSize(QSize(300, 120));
    focused.showRelativeTo(place, Edge::Bottom);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&focused));
    focused.activate();
    ASSERT_TRUE(waitUntil([&] { return QGuiApplication::focusWindow() == focused.windowHandle(); }));

    PopoverWindow menu(PopoverWindow::StaysOnTop | PopoverWindow::DoesNotAcceptFocus);
    menu.setBehavior(PopoverWindow::Behavior::Transient);
    menu.setAnchorWidget(options);
    menu.setContentWidget(new QWidget);
    menu.setContentSize(QSize(200, 80));
    QObject::connect(options, &QPushButton::clicked, &menu, [&] { menu.showRelativeTo(place, Edge::Top); });

    ASSERT_TRUE(Desktop::clickAt(place.center()));
    ASSERT_TRUE(waitUntil([&] { return !focused.isShown() && menu.isShown(); }))
        << "popover shown " << focused.isShown() << ", menu shown " << menu.isShown();
    ASSERT_TRUE(waitUntil([] { return QGuiApplication::applicationState() != Qt::ApplicationActive; }))
        << "the window manager gave the focus back";
    runQueuedWork(100);
    EXPECT_TRUE(menu.isShown());
}

// Without a compositor the window is cut out by a mask: its outline, the arrow's two sides included, is
// drawn alike on every side rather than dark where the mask's edge happens to keep the outer half.
TEST(PopoverOutline, ArrowSidesMirrorEachOther) {
    PopoverWindow popover(PopoverWindow::StaysOnTop);
    showBelow(popover, new QWidget, QSize(300, 120), QRect(400, 300, 101, 20));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&popover));
    const int c = popover.placement().arrowCenter;
    ASSERT_GT(c, 0);
    QImage shot;
    ASSERT_TRUE(waitUntil([&] {
        shot = popover.screen()->grabWindow(0, popover.x(), popover.y(), popover.width(), popover.height()).toImage();
        return !shot.isNull() && shot.pixelColor(c, PopoverWindow::arrowLength + 20).alpha() == 255;
    }));
    shot = shot.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < PopoverWindow::arrowLength + 2; ++y) {
        for (int dx = 0; dx < PopoverWindow::arrowWidth / 2 + 2; ++dx) {
            const QColor left = shot.pixelColor(c - 1 - dx, y);
            const QColor right = shot.pixelColor(c + dx, y);
            EXPECT_LE(std::abs(left.lightness() - right.lightness()), 24)
                << "row " << y << ", " << dx << " from the middle";
        }
    }
}

// A closed popover gives back the shadow images, and the next showing paints the same picture in the
// same place.
TEST(PopoverClosing, GivesBackItsShadowsAndShowsTheSamePictureAgain) {
    PopoverWindow popover(PopoverWindow::StaysOnTop);
    popover.setBehavior(PopoverWindow::Behavior::ApplicationDefined);
    auto* content = new QWidget;
    auto* card = new QWidget(content);
    card->setGeometry(40, 30, 120, 50);
    DropShadow::attach(card, Theme::smallShadow());
    popover.setContentWidget(content);
    popover.setContentSize(QSize(300, 120));
    const auto show = [&] {
        popover.showRelativeTo(QRect(400, 300, 101, 20), Edge::Bottom);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&popover));
    };
    const auto shot = [&] {
        return popover.screen()
            ->grabWindow(0, popover.x(), popover.y(), popover.width(), popover.height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    };
    show();
    QImage first;
    // The bubble's fill is light in either appearance; the screen beneath is black.
    ASSERT_TRUE(waitUntil([&] {
        first = shot();
        return first.pixelColor(first.width() - 20, first.height() - 20).lightness() > 100;
    }));
    const QRect frame = popover.geometry();
    const auto shadowKey = [&] {
        return DropShadow::image(card->size(), Theme::cornerRadius, Theme::smallShadow().radius,
                                 Theme::smallShadow().color, popover.devicePixelRatioF())
            .cacheKey();
    };
    const qint64 shownShadow = shadowKey();

    popover.hide();
    EXPECT_NE(shadowKey(), shownShadow);

    show();
    EXPECT_EQ(popover.geometry(), frame);
    EXPECT_TRUE(waitUntil([&] { return shot() == first; }));
}

// A program driving the pointer clicks a control where the app reports it (the translator's buttons). The
// window manager may move a window before the toolkit hears of it: the toolkit's belief then sends the
// click into whatever window took the old place, so no place is given until the two agree.
TEST(PopoverReportedPlace, IsWhereTheWindowServerShowsTheControl) {
    PopoverWindow popover(PopoverWindow::StaysOnTop);
    auto* content = new QWidget;
    auto* button = new QPushButton(QStringLiteral("Copy"), content);
    button->setGeometry(30, 40, 80, 30);
    showBelow(popover, content, QSize(300, 120), QRect(400, 300, 101, 20));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&popover));
    ASSERT_TRUE(waitUntil([&] { return StateReport::shownPlace(button).has_value(); }));
    const QRect before = *StateReport::shownPlace(button);

    // Another window takes the old place as the popover is moved, and the toolkit has not heard yet.
    QWidget other(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    other.setGeometry(popover.geometry());
    struct PressFilter : QObject {
        int presses = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            presses += event->type() == QEvent::MouseButtonPress;
            return false;
        }
    } pressesElsewhere;
    other.installEventFilter(&pressesElsewhere);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"),
                                {QStringLiteral("windowmove"), QStringLiteral("--sync"), QString::number(popover.winId()),
                                 QStringLiteral("800"), QStringLiteral("500")}),
              0);
    EXPECT_FALSE(StateReport::shownPlace(button).has_value());

    // Once it has, the place given is the button's, and a click there reaches it.
    std::optional<QRect> place;
    ASSERT_TRUE(waitUntil([&] { return (place = StateReport::shownPlace(button)).has_value(); }));
    EXPECT_NE(*place, before);
    QSignalSpy clicked(button, &QPushButton::clicked);
    ASSERT_TRUE(Desktop::clickAt(place->center()));
    EXPECT_TRUE(waitUntil([&] { return clicked.count() == 1; }));
    EXPECT_EQ(pressesElsewhere.presses, 0);
}

// A popover grows as its translation arrives. Qt may have heard of its window at a place it no longer is:
// a ConfigureNotify handled late has Qt ask the server where the window is just as the window manager has put
// it into a frame not yet placed, at the screen's corner, and no further notice comes once the frame is placed
// where the window asked to be. When the translation arrives after Qt has handled that notice but before the
// widget has heard of it, the grown popover still goes where it was placed, and says so in its hints.
TEST(PopoverPlacement, GrowingKeepsThePlaceWhateverQtLastHeardOfTheWindow) {
    PopoverWindow popover(PopoverWindow::StaysOnTop);
    showBelow(popover, new QWidget, QSize(450, 320), QRect(600, 300, 101, 20));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&popover));
    const QPoint placed = popover.placement().frame.topLeft();
    const auto serverPlace = [&] { return platform().windowSystem().screenPosition(&popover); };
    ASSERT_TRUE(waitUntil([&] { return serverPlace() == placed && popover.pos() == placed; }));

    QWindowSystemInterface::handleGeometryChange(popover.windowHandle(), QRect(QPoint(0, 0), popover.size()));
    popover.setContentSize(QSize(450, 420));
    EXPECT_EQ(popover.placement().frame.topLeft(), placed);

    // Once the window manager has made it that size, it is where it belongs, and its hints say so.
    xcb_connection_t* c = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    const auto serverSize = [&] {
        xcb_get_geometry_reply_t* reply =
            xcb_get_geometry_reply(c, xcb_get_geometry(c, xcb_window_t(popover.winId())), nullptr);
        const QSize size = reply ? QSize(reply->width, reply->height) : QSize();
        std::free(reply);
        return size;
    };
    EXPECT_TRUE(waitUntil([&] { return serverSize() == popover.size() && serverPlace() == placed; }))
        << "at " << serverPlace().value_or(QPoint()).x() << "," << serverPlace().value_or(QPoint()).y();
    const QByteArray hints = runTool(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(popover.winId()),
                                                                QStringLiteral("WM_NORMAL_HINTS")})
                                 .value_or(QByteArray());
    EXPECT_TRUE(hints.contains(QStringLiteral("location: %1, %2").arg(placed.x()).arg(placed.y()).toLatin1()))
        << hints.constData();
}

// Our windows as the X server and the window manager see them, on a real display.
#include "Desktop.h"
#include "TestUtils.h"
#include "platform/x11/X11WindowSystem.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

TEST(X11WindowSystemTest, WorkspacesPositionsAndCompositorOfRealWindows) {
    X11WindowSystem system;

    // Onto every workspace both ways: written before the map, asked of the window manager after it.
    QWidget early(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    early.resize(120, 40);
    system.showOnAllWorkspaces(&early);
    early.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&early));
    EXPECT_TRUE(waitUntil([&] { return system.isOnAllWorkspaces(&early); }));

    QWidget late;
    late.resize(200, 100);
    late.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&late));
    // A window manager acts on requests for windows it manages: this one once it has framed it.
    ASSERT_TRUE(waitUntil([&] { return late.windowHandle()->frameMargins().top() > 0; }));
    EXPECT_FALSE(system.isOnAllWorkspaces(&late));
    system.showOnAllWorkspaces(&late);
    EXPECT_TRUE(waitUntil([&] { return system.isOnAllWorkspaces(&late); }));

    // A window is where the server says it is, frame or not.
    EXPECT_TRUE(waitUntil([&] {
        const std::optional<QPoint> position = system.screenPosition(&late);
        return position && *position == late.geometry().topLeft();
    }));

    // Which window of ours shows at a point: one framed by the window manager, and the tray icon, which
    // lives inside the tray's window where the toolkit's idea of its place means nothing.
    early.hide();
    late.move(300, 300);
    ASSERT_TRUE(waitUntil([&] { return system.screenPosition(&late) == late.geometry().topLeft(); }));
    QPixmap picture(22, 22);
    picture.fill(Qt::darkBlue);
    QSystemTrayIcon tray{QIcon(picture)};
    tray.show();
    QWidget* icon = nullptr;
    QRect onScreen;
    // Docked, and laid out by the tray.
    ASSERT_TRUE(Desktop::waitUntilSettled([&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->inherits("QSystemTrayIconSys") && window->isVisible())
                icon = window;
        }
        const std::optional<QPoint> at = icon ? system.screenPosition(icon) : std::nullopt;
        if (!at || *at == icon->pos())
            return QByteArray();
        onScreen = QRect(*at, icon->size());
        return QByteArray::number(onScreen.x()) + ' ' + QByteArray::number(onScreen.y()) + ' ' +
               QByteArray::number(onScreen.width()) + ' ' + QByteArray::number(onScreen.height());
    })) << "the icon docked in the tray";
    const struct {
        const char* where;
        QPoint point;
        QWidget* expected;
    } points[] = {
        {"the window", late.geometry().center(), &late},
        {"the tray icon", onScreen.center(), icon},
        {"the icon's last pixel", onScreen.bottomRight(), icon},
        {"just below the icon", onScreen.bottomLeft() + QPoint(0, 1), nullptr},
        {"where the toolkit puts the icon", icon->geometry().center(), nullptr},
    };
    for (const auto& p : points) {
        SCOPED_TRACE(p.where);
        EXPECT_EQ(system.ownWindowAt(p.point), p.expected);
    }
    tray.hide();

    // The test display has no compositing manager; the second answer is the one asked for by the first.
    EXPECT_FALSE(system.isCompositing());
    EXPECT_FALSE(system.isCompositing());
}

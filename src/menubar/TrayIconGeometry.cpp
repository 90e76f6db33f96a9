#include "menubar/TrayIconGeometry.h"

#include "platform/Platform.h"
#include "platform/WindowSystem.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QWidget>

QWidget* TrayIconGeometry::embeddedIconWidget() {
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window->inherits("QSystemTrayIconSys"))
            return window;
    }
    return nullptr;
}

QRect TrayIconGeometry::of(const QSystemTrayIcon* icon) {
    if (!icon || !icon->isVisible())
        return {};
    QWidget* embedded = embeddedIconWidget();
    if (!embedded || !embedded->isVisible() || !hasPlatform())
        return icon->geometry();
    const std::optional<QPoint> position = platform().windowSystem().screenPosition(embedded);
    return position ? QRect(*position, embedded->size()) : icon->geometry();
}

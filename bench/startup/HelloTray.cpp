// The floor for start-up figures: the least a Qt 6 tray program does, a QApplication and a tray icon.
#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(Qt::black);
        painter.drawEllipse(pixmap.rect().adjusted(3, 3, -3, -3));
    }
    QSystemTrayIcon icon{QIcon(pixmap)};
    icon.show();
    return app.exec();
}

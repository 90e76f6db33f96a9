#pragma once

#include <QApplication>
#include <QPalette>

// Switches the application between light and dark appearance and restores the palette it found.
class AppearanceGuard {
public:
    AppearanceGuard()
        : m_saved(QApplication::palette()) {}
    ~AppearanceGuard() { QApplication::setPalette(m_saved); }

    static void setDark(bool dark) {
        QPalette palette = QApplication::palette();
        palette.setColor(QPalette::Window, dark ? QColor(50, 50, 52) : QColor(236, 236, 236));
        palette.setColor(QPalette::WindowText, dark ? QColor(240, 240, 240) : QColor(20, 20, 20));
        QApplication::setPalette(palette);
    }

private:
    QPalette m_saved;
};

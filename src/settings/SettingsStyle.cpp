#include "settings/SettingsStyle.h"

#include "ui/Color.h"
#include "ui/Theme.h"

#include <QPalette>
#include <QWidget>

namespace SettingsStyle {

QFont font(int pixelSize, QFont::Weight weight) {
    QFont font;
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

void followTextColor(QWidget* widget, Symbol::ColorProvider color) {
    Theme::followAppearance(widget, [widget, color = std::move(color)] {
        QPalette palette = widget->palette();
        const QColor value = color();
        palette.setColor(QPalette::WindowText, value);
        palette.setColor(QPalette::Text, value);
        palette.setColor(QPalette::ButtonText, value);
        widget->setPalette(palette);
    });
}

QColor titleColor() {
    return Theme::dark() ? QColor(Qt::white) : QColor(Qt::black);
}

QColor darkGray() {
    return QColor(85, 85, 85);
}

QColor lightGray() {
    return QColor(170, 170, 170);
}

QColor gray() {
    return QColor(142, 142, 147);
}

QColor blue() {
    return Color::accentColor();
}

QColor boxFill() {
    return Theme::dark() ? Color::withOpacity(darkGray(), 0.3) : Color::withOpacity(lightGray(), 0.1);
}

QColor boxBorder() {
    return Color::withOpacity(gray(), 0.2);
}

QColor rowFill() {
    return Theme::dark() ? Color::withOpacity(darkGray(), 0.6) : Color::withOpacity(lightGray(), 0.3);
}

} // namespace SettingsStyle

#pragma once

#include "ui/Symbol.h"

#include <QColor>
#include <QFont>

class QWidget;

// Fonts and colours the settings window's views share.
namespace SettingsStyle {

// The system font at `pixelSize` device-independent pixels.
QFont font(int pixelSize, QFont::Weight weight = QFont::Normal);

// Between the sections of a tab, and above and below a tab's content: small enough that every tab is
// shown whole in the fixed-size window.
constexpr int sectionSpacing = 20;

// Keeps the text of `widget` in the colour `color` gives, now and after every appearance switch.
void followTextColor(QWidget* widget, Symbol::ColorProvider color);

// Black in the light appearance, white in the dark one.
QColor titleColor();
// The fixed greys of the platform colour list: dark grey is a third of white, light grey two thirds.
QColor darkGray();
QColor lightGray();
QColor gray();
QColor blue();

// The fill of a box (list box, header) and of a row inside it, which differ between dark and light, and
// the line around a box.
QColor boxFill();
QColor boxBorder();
QColor rowFill();

} // namespace SettingsStyle

#pragma once

#include <QRect>
#include <QSize>

class QScreen;

// Sizes of windows on small or scaled screens: a window keeps its own size where the screen has room for
// it, frame included, and is made smaller where it has not, its content scrolling.
class ScreenFit {
public:
    // Room left for a window manager's title bar and borders, which are not known before the window is
    // mapped.
    static constexpr int decoration = 40;

    // `wanted` bounded by `area` less the decoration.
    static QSize windowSize(QSize wanted, const QRect& area);
    // The same on `screen`'s available area; `wanted` itself without a screen.
    static QSize windowSize(QSize wanted, const QScreen* screen);
};

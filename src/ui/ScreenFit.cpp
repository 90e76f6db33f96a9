#include "ui/ScreenFit.h"

#include <QScreen>
#include <algorithm>

QSize ScreenFit::windowSize(QSize wanted, const QRect& area) {
    return {std::clamp(area.width() - decoration, 1, wanted.width()),
            std::clamp(area.height() - decoration, 1, wanted.height())};
}

QSize ScreenFit::windowSize(QSize wanted, const QScreen* screen) {
    return screen ? windowSize(wanted, screen->availableGeometry()) : wanted;
}

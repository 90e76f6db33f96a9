#pragma once

#include "ui/Theme.h"

#include <QImage>
#include <functional>

class QWidget;

// A soft shadow under a rounded widget, painted by a sibling kept just beneath it from a blurred image
// made once per size, corner, blur, colour and pixel ratio. Unlike a graphics effect, which renders the
// widget off screen and blurs it again on every repaint, a repaint of the widget or of a child (a text
// cursor blinking) only copies the cached image behind the changed area.
namespace DropShadow {

// The opacity of the widget's own fill, read at paint time: the shadow of a translucent shape is
// fainter by as much, and a widget whose fill changes with hover asks for a new shadow then.
using Opacity = std::function<qreal()>;

// Gives `widget` a shadow for as long as it lives. The shadow follows its geometry, visibility, parent
// and stacking, and repaints on hover and appearance changes.
void attach(QWidget* widget, const Theme::Shadow& shadow, Opacity opacity = {});

// The shadow image of a rounded rectangle `size` large: `color` spread by a Gaussian blur of standard
// deviation `blur`, padded by `margin(blur)` on every side. Cached; the image's pixel ratio is `dpr`.
QImage image(QSize size, qreal corner, qreal blur, const QColor& color, qreal dpr);

// Forgets every cached image; shadows painted later render theirs again.
void releaseImages();

// How far a shadow of `blur` reaches beyond the shape.
int margin(qreal blur);

} // namespace DropShadow

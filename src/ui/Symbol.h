#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <functional>

// Named symbols (e.g. "doc.on.doc", "speaker.wave.2.fill") drawn from the bundled SVG icons, tinted in
// one colour at paint time. A symbol "at font size N" is drawn in a square of `pixelSize(N)`.
class Symbol {
public:
    using ColorProvider = std::function<QColor()>;

    static bool exists(const QString& name);
    static QString resourcePath(const QString& name);

    // Side of the square in which a symbol matching a font of `pointSize` is drawn.
    static int pixelSize(qreal pointSize);

    // The symbol tinted with `color`, `size` in device-independent pixels, rendered for `devicePixelRatio`.
    // Null when the name is unknown.
    static QPixmap pixmap(const QString& name, QSize size, const QColor& color, qreal devicePixelRatio = 1.0);
    // The same for a size already in device pixels.
    static QPixmap devicePixmap(const QString& name, QSize deviceSize, const QColor& color,
                                qreal devicePixelRatio);

    // An icon that tints itself when painted, with the colour `color` returns at that moment (so it
    // follows appearance switches). Disabled icons are drawn at reduced opacity.
    static QIcon icon(const QString& name, ColorProvider color);
    static QIcon icon(const QString& name, const QColor& color);
};

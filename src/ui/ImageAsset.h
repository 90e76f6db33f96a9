#pragma once

#include <QColor>
#include <QPixmap>
#include <QSize>
#include <QString>

// The bundled images by asset name ("FloatingBar", "icon-google", ...), from resources/images/ as SVG or
// PNG. Images keep their aspect ratio and are centred in the asked size.
class ImageAsset {
public:
    // The resource path of the asset; empty when there is none.
    static QString resourcePath(const QString& name);
    static bool exists(const QString& name) { return !resourcePath(name).isEmpty(); }

    // Null when the asset is missing.
    static QPixmap pixmap(const QString& name, QSize size, qreal devicePixelRatio = 1.0);
    // The asset's shape filled with one colour (a template image).
    static QPixmap templatePixmap(const QString& name, QSize size, const QColor& color,
                                  qreal devicePixelRatio = 1.0);
};

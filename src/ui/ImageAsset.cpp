#include "ui/ImageAsset.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

namespace {

QImage render(const QString& path, QSize deviceSize) {
    QImage image(deviceSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QSizeF natural;
    if (path.endsWith(QLatin1String(".svg"))) {
        QSvgRenderer svg(path);
        if (!svg.isValid())
            return {};
        natural = svg.defaultSize();
        const QSizeF fitted = natural.scaled(QSizeF(deviceSize), Qt::KeepAspectRatio);
        svg.render(&painter, QRectF(QPointF((deviceSize.width() - fitted.width()) / 2,
                                            (deviceSize.height() - fitted.height()) / 2),
                                    fitted));
    } else {
        const QImage source(path);
        if (source.isNull())
            return {};
        const QSizeF fitted = QSizeF(source.size()).scaled(QSizeF(deviceSize), Qt::KeepAspectRatio);
        painter.drawImage(QRectF(QPointF((deviceSize.width() - fitted.width()) / 2,
                                         (deviceSize.height() - fitted.height()) / 2),
                                 fitted),
                          source);
    }
    return image;
}

QPixmap cachedPixmap(const QString& name, QSize size, qreal dpr, const QColor* tint) {
    const QString path = ImageAsset::resourcePath(name);
    if (path.isEmpty() || size.isEmpty() || dpr <= 0)
        return {};
    const QSize deviceSize = (QSizeF(size) * dpr).toSize();
    const QString key = QStringLiteral("quillora-image:%1:%2x%3:%4")
                            .arg(name)
                            .arg(deviceSize.width())
                            .arg(deviceSize.height())
                            .arg(tint ? QString::number(tint->rgba(), 16) : QStringLiteral("-"));
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    QImage image = render(path, deviceSize);
    if (image.isNull())
        return {};
    if (tint) {
        QPainter painter(&image);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), *tint);
    }
    pixmap = QPixmap::fromImage(std::move(image));
    pixmap.setDevicePixelRatio(dpr);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

} // namespace

QString ImageAsset::resourcePath(const QString& name) {
    if (name.isEmpty())
        return {};
    for (const char* extension : {".svg", ".png"}) {
        const QString path = QStringLiteral(":/images/") + name + QLatin1String(extension);
        if (QFile::exists(path))
            return path;
    }
    return {};
}

QPixmap ImageAsset::pixmap(const QString& name, QSize size, qreal devicePixelRatio) {
    return cachedPixmap(name, size, devicePixelRatio, nullptr);
}

QPixmap ImageAsset::templatePixmap(const QString& name, QSize size, const QColor& color,
                                   qreal devicePixelRatio) {
    return cachedPixmap(name, size, devicePixelRatio, &color);
}

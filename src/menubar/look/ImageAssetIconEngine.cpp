#include "menubar/look/ImageAssetIconEngine.h"

#include "menubar/look/ImageAsset.h"

#include <QPainter>

ImageAssetIconEngine::ImageAssetIconEngine(QString name)
    : m_name(std::move(name)) {}

void ImageAssetIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) {
    const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    painter->drawPixmap(rect, ImageAsset::pixmap(m_name, rect.size(), dpr));
}

QPixmap ImageAssetIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) {
    return scaledPixmap(size, mode, state, 1.0);
}

QPixmap ImageAssetIconEngine::scaledPixmap(const QSize& size, QIcon::Mode, QIcon::State, qreal scale) {
    // `size` is in device pixels already.
    const qreal ratio = scale > 0 ? scale : 1.0;
    QPixmap pixmap = ImageAsset::pixmap(m_name, (QSizeF(size) / ratio).toSize(), ratio);
    return pixmap;
}

QSize ImageAssetIconEngine::actualSize(const QSize& size, QIcon::Mode, QIcon::State) {
    return size;
}

QIconEngine* ImageAssetIconEngine::clone() const {
    return new ImageAssetIconEngine(m_name);
}

QString ImageAssetIconEngine::key() const {
    return QStringLiteral("QuilloraImageAsset");
}

bool ImageAssetIconEngine::isNull() {
    return !ImageAsset::exists(m_name);
}

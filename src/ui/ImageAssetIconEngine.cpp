#include "ui/ImageAssetIconEngine.h"

#include "ui/ImageAsset.h"

#include <QPainter>

ImageAssetIconEngine::ImageAssetIconEngine(QString name, QString themeName)
    : m_name(std::move(name))
    , m_themeName(std::move(themeName)) {}

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
    return new ImageAssetIconEngine(m_name, m_themeName);
}

QList<QSize> ImageAssetIconEngine::availableSizes(QIcon::Mode, QIcon::State) {
    // Panel sizes at one and two times scale; without a list a host gets only what Qt adds by itself.
    return {QSize(16, 16), QSize(22, 22), QSize(24, 24), QSize(32, 32), QSize(48, 48), QSize(64, 64)};
}

QString ImageAssetIconEngine::key() const {
    return QStringLiteral("QuilloraImageAsset");
}

bool ImageAssetIconEngine::isNull() {
    return !ImageAsset::exists(m_name);
}

#include "ui/Symbol.h"

#include "platform/DebugLog.h"
#include "ui/SymbolIconEngine.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QPainter>
#include <QPixmapCache>
#include <QPointer>
#include <QSet>
#include <QSvgRenderer>
#include <cmath>

namespace {

// One renderer per symbol, owned by the application so it goes away with it.
QSvgRenderer* renderer(const QString& name) {
    static QHash<QString, QPointer<QSvgRenderer>> renderers;
    static QSet<QString> missing;
    if (QSvgRenderer* known = renderers.value(name))
        return known;
    if (missing.contains(name))
        return nullptr;
    const QString path = Symbol::resourcePath(name);
    QSvgRenderer* created =
        QFile::exists(path) ? new QSvgRenderer(path, QCoreApplication::instance()) : nullptr;
    if (!created || !created->isValid()) {
        delete created;
        missing.insert(name);
        debugLog(QStringLiteral("Symbol"), QStringLiteral("Unknown symbol: %1").arg(name));
        return nullptr;
    }
    renderers.insert(name, created);
    return created;
}

} // namespace

bool Symbol::exists(const QString& name) {
    return !name.isEmpty() && QFile::exists(resourcePath(name));
}

QString Symbol::resourcePath(const QString& name) {
    return QStringLiteral(":/symbols/%1.svg").arg(name);
}

int Symbol::pixelSize(qreal pointSize) {
    return int(std::lround(pointSize * 1.2));
}

QPixmap Symbol::pixmap(const QString& name, QSize size, const QColor& color, qreal devicePixelRatio) {
    if (devicePixelRatio <= 0)
        return {};
    return devicePixmap(name, (QSizeF(size) * devicePixelRatio).toSize(), color, devicePixelRatio);
}

QPixmap Symbol::devicePixmap(const QString& name, QSize deviceSize, const QColor& color,
                             qreal devicePixelRatio) {
    if (deviceSize.isEmpty() || devicePixelRatio <= 0)
        return {};
    const QString key = QStringLiteral("quillora-symbol:%1:%2x%3:%4:%5")
                            .arg(name)
                            .arg(deviceSize.width())
                            .arg(deviceSize.height())
                            .arg(color.rgba(), 8, 16, QLatin1Char('0'))
                            .arg(devicePixelRatio);
    QPixmap cached;
    if (QPixmapCache::find(key, &cached))
        return cached;

    QSvgRenderer* svg = renderer(name);
    if (!svg)
        return {};
    QImage image(deviceSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        // Keep the icon square and centred in a non-square box.
        const int side = std::min(deviceSize.width(), deviceSize.height());
        const QRectF target((deviceSize.width() - side) / 2.0, (deviceSize.height() - side) / 2.0, side,
                            side);
        svg->render(&painter, target);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), color);
    }
    QPixmap result = QPixmap::fromImage(std::move(image));
    result.setDevicePixelRatio(devicePixelRatio);
    QPixmapCache::insert(key, result);
    return result;
}

QIcon Symbol::icon(const QString& name, ColorProvider color) {
    return QIcon(new SymbolIconEngine(name, std::move(color)));
}

QIcon Symbol::icon(const QString& name, const QColor& color) {
    return icon(name, [color] { return color; });
}

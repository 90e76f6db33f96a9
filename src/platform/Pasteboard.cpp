#include "platform/Pasteboard.h"

#include <QBuffer>
#include <QImage>
#include <QMimeData>

QByteArray PasteboardSnapshot::data(const QString& mimeType) const {
    for (const auto& item : items) {
        if (item.first == mimeType)
            return item.second;
    }
    return {};
}

bool PasteboardSnapshot::hasFormat(const QString& mimeType) const {
    for (const auto& item : items) {
        if (item.first == mimeType)
            return true;
    }
    return false;
}

std::unique_ptr<QMimeData> PasteboardSnapshot::toMimeData() const {
    auto mime = std::make_unique<QMimeData>();
    for (const auto& item : items)
        mime->setData(item.first, item.second);
    return mime;
}

PasteboardSnapshot PasteboardSnapshot::fromMimeData(const QMimeData& mime) {
    PasteboardSnapshot snapshot;
    for (const QString& format : mime.formats())
        snapshot.items.append({format, mime.data(format)});
    // An image set with setImageData() has no bytes of its own; keep it as PNG so it survives a restore.
    if (mime.hasImage() && !snapshot.hasFormat(QStringLiteral("image/png"))) {
        const QImage image = qvariant_cast<QImage>(mime.imageData());
        QByteArray png;
        QBuffer buffer(&png);
        if (!image.isNull() && buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "PNG"))
            snapshot.items.append({QStringLiteral("image/png"), png});
    }
    return snapshot;
}

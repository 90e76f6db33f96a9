#include "platform/Pasteboard.h"

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
    return snapshot;
}

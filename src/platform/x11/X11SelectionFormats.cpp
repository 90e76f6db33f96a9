#include "platform/x11/X11SelectionFormats.h"

#include <QBuffer>
#include <QImage>
#include <QMimeData>
#include <algorithm>

namespace {

const QString kPlainText = QStringLiteral("text/plain");
const QString kQtImage = QStringLiteral("application/x-qt-image");
const QString kPng = QStringLiteral("image/png");

QByteArray normalisedMime(const QByteArray& target) {
    QByteArray name = target.toLower();
    name.replace(' ', "");
    name.replace('"', "");
    return name;
}

bool isUtf8PlainText(const QByteArray& target) {
    const QByteArray name = normalisedMime(target);
    return name == "text/plain;charset=utf-8" || name == "text/plain;charset=utf8";
}

} // namespace

int X11SelectionFormats::textRank(const QByteArray& target) {
    if (target == "UTF8_STRING")
        return 0;
    if (isUtf8PlainText(target))
        return 1;
    if (target == "STRING")
        return 2;
    if (target == "TEXT")
        return 3;
    if (target == "text/plain")
        return 4;
    if (target == "COMPOUND_TEXT")
        return 5;
    return -1;
}

bool X11SelectionFormats::isTextTarget(const QByteArray& target) {
    return textRank(target) >= 0;
}

QList<int> X11SelectionFormats::textCandidates(const QList<QByteArray>& targets) {
    QList<int> indices;
    for (int i = 0; i < targets.size(); ++i) {
        if (isTextTarget(targets[i]))
            indices.append(i);
    }
    std::stable_sort(indices.begin(), indices.end(),
                     [&](int a, int b) { return textRank(targets[a]) < textRank(targets[b]); });
    return indices;
}

QList<int> X11SelectionFormats::imageCandidates(const QList<QByteArray>& targets,
                                                const QList<QByteArray>& decodable) {
    QList<int> png;
    QList<int> others;
    for (int i = 0; i < targets.size(); ++i) {
        const QByteArray name = normalisedMime(targets[i]);
        if (!name.startsWith("image/"))
            continue;
        if (name == "image/png")
            png.append(i);
        else if (decodable.contains(name))
            others.append(i);
    }
    return png + others;
}

QList<X11SelectionFormats::SnapshotEntry>
X11SelectionFormats::snapshotPlan(const QList<QByteArray>& targets) {
    QList<SnapshotEntry> plan;
    bool haveText = false;
    auto hasFormat = [&](const QString& format) {
        return std::any_of(plan.cbegin(), plan.cend(),
                           [&](const SnapshotEntry& e) { return e.format == format; });
    };
    for (int i = 0; i < targets.size(); ++i) {
        const QByteArray& target = targets[i];
        if (isTextTarget(target) && !haveText) {
            haveText = true;
            plan.append({kPlainText, textCandidates(targets)});
        }
        // The owner's own "text/plain" is one of the text sources above, not a format of its own.
        // Compound text and "UTF-8" are kept as sent besides: Qt derives the other text targets from
        // "text/plain", but not these, and older clients ask for them.
        const bool keptAtom = target == "COMPOUND_TEXT" || target == "UTF-8";
        if (target == "text/plain" || (!target.contains('/') && !keptAtom))
            continue;
        const QString format = QString::fromLatin1(target);
        if (!hasFormat(format))
            plan.append({format, {i}});
    }
    return plan;
}

std::optional<QString> X11SelectionFormats::decodeText(const QByteArray& target, const QByteArray& type,
                                                       const QByteArray& data) {
    const bool typeNamesEncoding = type == "UTF8_STRING" || type == "STRING" || type == "COMPOUND_TEXT";
    const QByteArray& encoding = typeNamesEncoding ? type : target;
    QByteArray bytes = data;
    // Some owners count the C string terminator as part of the value.
    while (bytes.endsWith('\0'))
        bytes.chop(1);
    if (encoding == "STRING")
        return QString::fromLatin1(bytes);
    if (encoding == "COMPOUND_TEXT") {
        // Without escape sequences compound text is ISO 8859-1; with them it needs a decoder we do not have.
        if (bytes.contains('\x1b') || bytes.contains('\x9b'))
            return std::nullopt;
        return QString::fromLatin1(bytes);
    }
    return QString::fromUtf8(bytes);
}

std::optional<QByteArray> X11SelectionFormats::textBytesForSnapshot(const QByteArray& target,
                                                                   const QByteArray& type,
                                                                   const QByteArray& data) {
    const bool typeNamesEncoding = type == "UTF8_STRING" || type == "STRING" || type == "COMPOUND_TEXT";
    const QByteArray& encoding = typeNamesEncoding ? type : target;
    if (encoding == "COMPOUND_TEXT" && (data.contains('\x1b') || data.contains('\x9b')))
        return std::nullopt;
    if (encoding == "STRING" || encoding == "COMPOUND_TEXT")
        return QString::fromLatin1(data).toUtf8();
    return data;
}

PasteboardSnapshot X11SelectionFormats::snapshotOfMimeData(const QMimeData& mime) {
    PasteboardSnapshot snapshot;
    const QStringList formats = mime.formats();
    for (const QString& format : formats) {
        if (format == kQtImage) {
            // An image set as a QImage has no bytes of its own; keep it as PNG.
            if (formats.contains(kPng) || !mime.hasImage())
                continue;
            const QImage image = qvariant_cast<QImage>(mime.imageData());
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            if (!image.isNull() && image.save(&buffer, "PNG"))
                snapshot.items.append({kPng, png});
            continue;
        }
        snapshot.items.append({format, mime.data(format)});
    }
    return snapshot;
}

bool X11SelectionFormats::offers(const QStringList& formats, const QByteArray& target) {
    if (isTextTarget(target))
        return formats.contains(kPlainText);
    if (normalisedMime(target).startsWith("image/")) {
        return std::any_of(formats.begin(), formats.end(), [](const QString& format) {
            return format == kQtImage || format.startsWith(QLatin1String("image/"));
        });
    }
    return formats.contains(QString::fromLatin1(target));
}

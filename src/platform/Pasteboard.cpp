#include "platform/Pasteboard.h"

#include <QBuffer>
#include <QImage>
#include <QMimeData>
#include <QTimer>

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

void Pasteboard::waitForChange(Mode mode, int baseline, int timeoutMs, QObject* context,
                               std::function<void(bool)> done) {
    if (changeCount(mode) != baseline) {
        done(true);
        return;
    }
    // The waiter owns the connection and the timer; whichever fires first ends both.
    auto* waiter = new QObject(context);
    auto pending = std::make_shared<std::function<void(bool)>>(std::move(done));
    auto finish = [waiter, pending](bool changed) {
        if (!*pending)
            return;
        auto work = std::exchange(*pending, nullptr);
        waiter->deleteLater();
        work(changed);
    };
    connect(this, &Pasteboard::changed, waiter, [this, finish, mode, baseline](Mode changedMode) {
        if (changedMode == mode && changeCount(mode) != baseline)
            finish(true);
    });
    // A timer owned by the waiter dies with it; a static single shot would still wake us later.
    auto* timer = new QTimer(waiter);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, waiter, [finish] { finish(false); });
    timer->start(timeoutMs);
}

void Pasteboard::restoreOnLateCopy(const PasteboardSnapshot& snapshot, int graceMs, QObject* context) {
    endLateCopyWatch();
    auto* watch = new QObject(context);
    m_lateCopyWatch = watch;
    QPointer<Pasteboard> self(this);
    waitForChange(Mode::Clipboard, changeCount(Mode::Clipboard), graceMs, watch,
                  [self, watch, snapshot](bool changed) {
                      watch->deleteLater();
                      // Content of ours is a write of this process (a translation pasted), not that copy.
                      if (self && changed && !self->isOwnedByThisProcess(Mode::Clipboard))
                          self->restore(snapshot);
                  });
}

void Pasteboard::endLateCopyWatch() {
    delete m_lateCopyWatch.data();
}

#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QMimeData;

// Every format a clipboard offered at one moment, as MIME type and bytes, in the owner's order.
struct PasteboardSnapshot {
    QList<QPair<QString, QByteArray>> items;
    // False when a format the owner offered could not be saved (too large, refused, timed out): putting
    // this snapshot back would lose it.
    bool complete = true;

    bool isEmpty() const { return items.isEmpty(); }
    QByteArray data(const QString& mimeType) const;
    bool hasFormat(const QString& mimeType) const;
    std::unique_ptr<QMimeData> toMimeData() const;
    static PasteboardSnapshot fromMimeData(const QMimeData& mime);
};

// The system clipboard. Reads ask the owning process and are therefore asynchronous, with a time-out,
// so a slow or dead owner never freezes the caller. Writes make this process the owner.
class Pasteboard : public QObject {
    Q_OBJECT
public:
    enum class Mode { Clipboard, Selection };

    using StringHandler = std::function<void(std::optional<QString>)>;
    using ImageHandler = std::function<void(std::optional<QImage>)>;
    using SnapshotHandler = std::function<void(PasteboardSnapshot)>;

    static constexpr int DefaultTimeoutMs = 1000;

    using QObject::QObject;

    // Grows by one each time any process takes ownership of the clipboard (or of PRIMARY).
    virtual int changeCount(Mode mode = Mode::Clipboard) const = 0;
    virtual bool isOwnedByThisProcess(Mode mode = Mode::Clipboard) const = 0;

    virtual void clearContents() = 0;
    virtual void setString(const QString& text) = 0;
    virtual void setImage(const QImage& image) = 0;
    virtual void restore(const PasteboardSnapshot& snapshot) = 0;

    // Handlers run exactly once on the main thread; no value on time-out, absence or a failed owner.
    virtual void readString(StringHandler handler, Mode mode = Mode::Clipboard, int timeoutMs = DefaultTimeoutMs) = 0;
    virtual void readImage(ImageHandler handler, int timeoutMs = DefaultTimeoutMs) = 0;
    virtual void takeSnapshot(SnapshotHandler handler, int timeoutMs = DefaultTimeoutMs) = 0;

    // Another client's request for the content this process owns, as a paste makes.
    struct Request {
        Mode mode = Mode::Clipboard;
        // The window it asked for.
        quint32 requestor = 0;
        // The process of the client that made that window; 0 when it cannot be told.
        qint64 process = 0;
        // It asked only which formats there are, not for the content itself.
        bool formatsOnly = false;
        // The content had the format it asked for; false when it was refused.
        bool answered = true;
    };

    // Calls `done(true)` once the change count of `mode` differs from `baseline`, or `done(false)` after
    // `timeoutMs`; listens to the change signal in between, never polls. Nothing runs once `context` is gone.
    void waitForChange(Mode mode, int baseline, int timeoutMs, QObject* context, std::function<void(bool)> done);

    // Puts `snapshot` back when the clipboard next changes to another client's content within `graceMs`:
    // an application that copies after a synthetic copy gave up waiting would otherwise replace the user's
    // clipboard for good. One watch at a time; a new one, endLateCopyWatch() or `context` going away ends
    // the previous one without a restore.
    void restoreOnLateCopy(const PasteboardSnapshot& snapshot, int graceMs, QObject* context);
    // Ends the watch without a restore. Called right before new copy keys: their road holds a snapshot of
    // its own, and their copy must not be undone.
    void endLateCopyWatch();

    // Whether two windows belong to the same client (a requestor window and an application's window).
    virtual bool isSameClient(quint32 windowA, quint32 windowB) const { return windowA == windowB; }
    // Whether the current owner of `mode` belongs to the application whose window is `windowId` (process
    // `processId`, 0 when unknown): a window of that window's client, a toolkit's hidden owner window
    // included, or of its process. `done` runs once on the main thread on a later turn, unless `context` is
    // gone first; false when nobody owns it or that cannot be told.
    virtual void queryOwnedByApplication(Mode mode, quint32 windowId, qint64 processId, QObject* context,
                                         std::function<void(bool)> done) = 0;

Q_SIGNALS:
    void changed(Pasteboard::Mode mode);
    // Emitted after the request was answered.
    void contentRequested(const Pasteboard::Request& request);

private:
    QPointer<QObject> m_lateCopyWatch;
};

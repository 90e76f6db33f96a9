#pragma once

#include "platform/Pasteboard.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

class QMimeData;

// Which X selection targets hold data worth reading, in which order, and how their bytes become text.
// Works on target names only, so it knows nothing of the connection they came from.
class X11SelectionFormats {
public:
    // One format of a snapshot and the targets (indices into the owner's list) that can fill it, best first.
    struct SnapshotEntry {
        QString format;
        QList<int> candidates;
    };

    // X11 atoms and MIME names that carry plain text.
    static bool isTextTarget(const QByteArray& target);
    // Indices of the text targets, best first: UTF-8 before Latin-1, compound text last.
    static QList<int> textCandidates(const QList<QByteArray>& targets);
    // Indices of the image targets Qt can decode (`decodable` lists MIME types), PNG first.
    static QList<int> imageCandidates(const QList<QByteArray>& targets, const QList<QByteArray>& decodable);
    // The formats a snapshot keeps, in the owner's order. Text atoms fold into one "text/plain" (UTF-8)
    // so a restore offers text again, and "COMPOUND_TEXT" and "UTF-8" are kept as well; MIME names are kept as they
    // are; meta targets and server resources (pixmaps, windows) are dropped.
    static QList<SnapshotEntry> snapshotPlan(const QList<QByteArray>& targets);

    // The text in a converted value. `type` is the name of the property type the owner answered with
    // (empty when unknown); it wins over the requested target's name when it names an encoding.
    static std::optional<QString> decodeText(const QByteArray& target, const QByteArray& type,
                                             const QByteArray& data);

    // Every format of content this process put on the clipboard, images as PNG bytes.
    // A text value as a snapshot keeps it: UTF-8 as the owner sent it (trailing NULs and invalid
    // sequences included, so a restore gives back the same bytes), Latin-1 converted to UTF-8; none for
    // compound text with escape sequences.
    static std::optional<QByteArray> textBytesForSnapshot(const QByteArray& target, const QByteArray& type,
                                                          const QByteArray& data);

    static PasteboardSnapshot snapshotOfMimeData(const QMimeData& mime);
    // Whether content with these MIME formats (as QMimeData lists them) answers a request for `target`
    // with data rather than a refusal; Qt converts text and images between their usual targets.
    static bool offers(const QStringList& formats, const QByteArray& target);

private:
    static int textRank(const QByteArray& target);
};

// Choosing and decoding selection targets, and snapshots of our own clipboard content.
#include "platform/x11/X11SelectionFormats.h"

#include <QBuffer>
#include <QImage>
#include <QMimeData>
#include <gtest/gtest.h>

namespace {

QList<QByteArray> names(std::initializer_list<const char*> list) {
    QList<QByteArray> result;
    for (const char* name : list)
        result.append(name);
    return result;
}

QStringList formatsOf(const QList<X11SelectionFormats::SnapshotEntry>& plan) {
    QStringList formats;
    for (const auto& entry : plan)
        formats.append(entry.format);
    return formats;
}

TEST(X11SelectionFormats, SnapshotPlanKeepsDataFormatsInOwnerOrderAndDropsMetaTargets) {
    const auto targets = names({"TIMESTAMP", "TARGETS", "MULTIPLE", "SAVE_TARGETS", "text/html",
                                "UTF8_STRING", "COMPOUND_TEXT", "TEXT", "STRING", "text/plain;charset=utf-8",
                                "text/plain", "DELETE", "INSERT_SELECTION", "INSERT_PROPERTY", "PIXMAP",
                                "_NETSCAPE_URL", "application/x-quillora-test", "text/html"});
    const auto plan = X11SelectionFormats::snapshotPlan(targets);
    EXPECT_EQ(formatsOf(plan), (QStringList{"text/html", "text/plain", "COMPOUND_TEXT", "text/plain;charset=utf-8",
                                            "application/x-quillora-test"}));
    // All text targets fill "text/plain", UTF-8 ones first and compound text last.
    EXPECT_EQ(plan[1].candidates, (QList<int>{5, 9, 8, 7, 10, 6}));
    EXPECT_EQ(plan[0].candidates, QList<int>{4});
    EXPECT_EQ(plan[2].candidates, QList<int>{6});
    EXPECT_EQ(plan[4].candidates, QList<int>{16});
}

TEST(X11SelectionFormats, SnapshotPlanOfSingleFormatOwners) {
    EXPECT_EQ(formatsOf(X11SelectionFormats::snapshotPlan(names({"TARGETS", "image/png"}))),
              QStringList{"image/png"});
    // An owner offering only "text/plain" still restores as text.
    const auto plain = X11SelectionFormats::snapshotPlan(names({"TARGETS", "text/plain"}));
    ASSERT_EQ(formatsOf(plain), QStringList{"text/plain"});
    EXPECT_EQ(plain[0].candidates, QList<int>{1});
    EXPECT_TRUE(X11SelectionFormats::snapshotPlan(names({"TARGETS", "TIMESTAMP", "BITMAP"})).isEmpty());
    EXPECT_TRUE(X11SelectionFormats::snapshotPlan({}).isEmpty());
}

TEST(X11SelectionFormats, ImageCandidatesPreferPngAndSkipWhatQtCannotDecode) {
    const auto targets =
        names({"TARGETS", "image/bmp", "image/x-unknown", "IMAGE/PNG", "image/jpeg", "text/plain"});
    EXPECT_EQ(X11SelectionFormats::imageCandidates(targets, names({"image/bmp", "image/jpeg", "image/png"})),
              (QList<int>{3, 1, 4}));
    EXPECT_TRUE(X11SelectionFormats::imageCandidates(names({"UTF8_STRING"}), names({"image/png"})).isEmpty());
}

TEST(X11SelectionFormats, DecodesTextByTheTypeTheOwnerAnsweredWith) {
    const QByteArray latin1("caf\xe9", 4);
    EXPECT_EQ(X11SelectionFormats::decodeText("STRING", "STRING", latin1), QStringLiteral("café"));
    // TEXT is answered in any encoding; the property type says which.
    EXPECT_EQ(X11SelectionFormats::decodeText("TEXT", "STRING", latin1), QStringLiteral("café"));
    EXPECT_EQ(X11SelectionFormats::decodeText("TEXT", "UTF8_STRING", "caf\xc3\xa9"), QStringLiteral("café"));
    // A type that is no encoding name leaves the target to decide.
    EXPECT_EQ(X11SelectionFormats::decodeText("STRING", "ATOM", latin1), QStringLiteral("café"));
    EXPECT_EQ(X11SelectionFormats::decodeText("text/plain;charset=utf-8", "text/plain;charset=utf-8",
                                              "\xe2\x9c\x93"),
              QStringLiteral("✓"));
    EXPECT_EQ(X11SelectionFormats::decodeText("UTF8_STRING", QByteArray(), QByteArray("text\0\0", 6)),
              QStringLiteral("text"));
    EXPECT_EQ(X11SelectionFormats::decodeText("COMPOUND_TEXT", "COMPOUND_TEXT", latin1),
              QStringLiteral("café"));
    EXPECT_FALSE(
        X11SelectionFormats::decodeText("COMPOUND_TEXT", "COMPOUND_TEXT", "\x1b%Gcaf\xc3\xa9").has_value());
    EXPECT_EQ(X11SelectionFormats::decodeText("UTF8_STRING", "UTF8_STRING", ""), QString());
}

TEST(X11SelectionFormats, SnapshotKeepsUtf8TextAsSentAndLatin1AsItsUtf8) {
    const QByteArray raw("text\xff\0\0", 7);
    EXPECT_EQ(X11SelectionFormats::textBytesForSnapshot("UTF8_STRING", "UTF8_STRING", raw), raw);
    EXPECT_EQ(X11SelectionFormats::textBytesForSnapshot("TEXT", "UTF8_STRING", raw), raw);
    EXPECT_EQ(X11SelectionFormats::textBytesForSnapshot("STRING", "STRING", QByteArray("caf\xe9\0", 5)),
              QByteArray("caf\xc3\xa9\0", 6));
    EXPECT_FALSE(X11SelectionFormats::textBytesForSnapshot("COMPOUND_TEXT", "COMPOUND_TEXT", "\x1b%G"));
}

TEST(X11SelectionFormats, OwnContentSnapshotKeepsImagesAsPngAndEveryOtherFormat) {
    QImage image(7, 5, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QMimeData mime;
    mime.setImageData(image);
    mime.setData(QStringLiteral("application/x-quillora-test"), QByteArray("\0\1", 2));
    mime.setText(QStringLiteral("caption"));

    const PasteboardSnapshot snapshot = X11SelectionFormats::snapshotOfMimeData(mime);
    EXPECT_FALSE(snapshot.hasFormat(QStringLiteral("application/x-qt-image")));
    QImage decoded;
    ASSERT_TRUE(decoded.loadFromData(snapshot.data(QStringLiteral("image/png")), "PNG"));
    EXPECT_EQ(decoded.size(), image.size());
    EXPECT_EQ(snapshot.data(QStringLiteral("application/x-quillora-test")), QByteArray("\0\1", 2));
    EXPECT_EQ(snapshot.data(QStringLiteral("text/plain")), QByteArray("caption"));

    // Explicit PNG bytes are kept as they are, not re-encoded.
    QMimeData both;
    both.setImageData(image);
    both.setData(QStringLiteral("image/png"), QByteArray("exact bytes"));
    const PasteboardSnapshot exact = X11SelectionFormats::snapshotOfMimeData(both);
    EXPECT_EQ(exact.items.size(), 1);
    EXPECT_EQ(exact.data(QStringLiteral("image/png")), QByteArray("exact bytes"));

    EXPECT_TRUE(X11SelectionFormats::snapshotOfMimeData(QMimeData()).isEmpty());
}

TEST(X11SelectionFormats, ContentOffersTextAndImagesUnderTheirUsualTargetsOnly) {
    const QStringList text{QStringLiteral("text/plain")};
    const QStringList image{QStringLiteral("application/x-qt-image")};
    const QStringList restored{QStringLiteral("text/html"), QStringLiteral("image/png")};
    struct Case {
        const QStringList& formats;
        const char* target;
        bool offered;
    } cases[] = {
        {text, "UTF8_STRING", true},
        {text, "text/plain;charset=utf-8", true},
        {text, "COMPOUND_TEXT", true},
        // A window that remembers the user's image asks for it; the translation cannot answer.
        {text, "image/png", false},
        {text, "text/html", false},
        {text, "MULTIPLE", false},
        {image, "image/bmp", true},
        {image, "STRING", false},
        {restored, "image/jpeg", true},
        {restored, "text/html", true},
        {restored, "UTF8_STRING", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(X11SelectionFormats::offers(c.formats, c.target), c.offered) << c.target;
}

} // namespace

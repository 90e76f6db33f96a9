#include "platform/Pasteboard.h"

#include <QImage>
#include <QMimeData>

#include <gtest/gtest.h>

namespace {

TEST(PasteboardSnapshotTest, MimeDataRoundTripKeepsEveryFormatAndImagesWithoutBytes) {
    QMimeData mime;
    mime.setText(QStringLiteral("héllo"));
    mime.setData(QStringLiteral("application/x-quillora-test"), QByteArray("\x00\x01\x02", 3));
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::red);
    mime.setImageData(image);

    const PasteboardSnapshot snapshot = PasteboardSnapshot::fromMimeData(mime);
    EXPECT_EQ(QString::fromUtf8(snapshot.data(QStringLiteral("text/plain"))), QStringLiteral("héllo"));
    EXPECT_EQ(snapshot.data(QStringLiteral("application/x-quillora-test")), QByteArray("\x00\x01\x02", 3));
    ASSERT_TRUE(snapshot.hasFormat(QStringLiteral("image/png")));

    const auto restored = snapshot.toMimeData();
    QImage decoded;
    ASSERT_TRUE(decoded.loadFromData(restored->data(QStringLiteral("image/png"))));
    EXPECT_EQ(decoded.size(), QSize(4, 3));
    EXPECT_EQ(restored->text(), QStringLiteral("héllo"));
}

} // namespace

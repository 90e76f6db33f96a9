// Without an X display the X11 pasteboard falls back to Qt's in-process clipboard and never fails hard.
#include "TestUtils.h"
#include "platform/x11/X11Pasteboard.h"

#include <QImage>
#include <gtest/gtest.h>
#include <optional>

namespace {

TEST(X11PasteboardWithoutDisplay, OwnWritesAreCountedAndReadBack) {
    X11Pasteboard pasteboard;
    int changes = 0;
    QObject::connect(&pasteboard, &Pasteboard::changed, &pasteboard, [&] { ++changes; });
    const int start = pasteboard.changeCount();

    pasteboard.setString(QStringLiteral("offline"));
    EXPECT_EQ(pasteboard.changeCount(), start + 1);
    EXPECT_TRUE(pasteboard.isOwnedByThisProcess());

    std::optional<QString> text;
    bool answered = false;
    pasteboard.readString([&](std::optional<QString> value) {
        answered = true;
        text = value;
    });
    EXPECT_FALSE(answered) << "answers come on a later turn of the event loop";
    ASSERT_TRUE(waitUntil([&] { return answered; }));
    EXPECT_EQ(text, QStringLiteral("offline"));

    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(Qt::blue);
    pasteboard.setImage(image);
    std::optional<QImage> read;
    answered = false;
    pasteboard.readImage([&](std::optional<QImage> value) {
        answered = true;
        read = value;
    });
    ASSERT_TRUE(waitUntil([&] { return answered; }));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->size(), image.size());

    PasteboardSnapshot snapshot;
    answered = false;
    pasteboard.takeSnapshot([&](PasteboardSnapshot value) {
        answered = true;
        snapshot = value;
    });
    ASSERT_TRUE(waitUntil([&] { return answered; }));
    EXPECT_TRUE(snapshot.hasFormat(QStringLiteral("image/png")));

    pasteboard.restore({});
    EXPECT_EQ(pasteboard.changeCount(), start + 3);
    EXPECT_EQ(changes, 3);
}

TEST(X11PasteboardWithoutDisplay, PrimarySelectionAnswersNothing) {
    X11Pasteboard pasteboard;
    bool answered = false;
    std::optional<QString> text = QStringLiteral("unset");
    pasteboard.readString(
        [&](std::optional<QString> value) {
            answered = true;
            text = value;
        },
        Pasteboard::Mode::Selection);
    ASSERT_TRUE(waitUntil([&] { return answered; }));
    EXPECT_FALSE(text.has_value());
}

} // namespace

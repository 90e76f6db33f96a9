// The X11 screen capture running the real capture tool, with the image read back through the X11
// pasteboard as the OCR service does.
#include "TestUtils.h"
#include "platform/x11/X11Pasteboard.h"
#include "platform/x11/X11ScreenCapture.h"

#include <QProcess>
#include <gtest/gtest.h>
#include <optional>

#ifdef QUILLORA_SCREENCAPTURE_PATH

namespace {

bool xdotool(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral("xdotool"), args);
    return process.waitForFinished(5000) && process.exitCode() == 0;
}

bool waitForOverlay() {
    const bool shown = waitUntil(
        [] {
            return xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                            QStringLiteral("--name"), QStringLiteral("Quillora screen capture")});
        },
        10000);
    return shown;
}

TEST(X11ScreenCaptureTest, ScreenOfTheTestDisplayCanBeCaptured) {
    X11ScreenCapture capture(QStringLiteral(QUILLORA_SCREENCAPTURE_PATH));
    EXPECT_TRUE(capture.preflightPermission());
    std::optional<bool> probed;
    capture.probeShareableContent([&](bool granted) { probed = granted; });
    EXPECT_FALSE(probed.has_value()); // answered later, never inside the call
    ASSERT_TRUE(waitUntil([&] { return probed.has_value(); }));
    EXPECT_TRUE(*probed);
}

TEST(X11ScreenCaptureTest, DraggedRegionIsReadBackFromTheClipboard) {
    X11ScreenCapture capture(QStringLiteral(QUILLORA_SCREENCAPTURE_PATH));
    X11Pasteboard pasteboard;
    int calls = 0;
    bool captured = false;
    capture.captureInteractiveRegionToClipboard([&](ScreenCapture::CaptureOutcome outcome) {
        ++calls;
        captured = outcome == ScreenCapture::CaptureOutcome::Captured;
    });

    // A second request while the user is still choosing fails at once; the first is unaffected.
    std::optional<ScreenCapture::CaptureOutcome> second;
    capture.captureInteractiveRegionToClipboard([&](ScreenCapture::CaptureOutcome outcome) { second = outcome; });
    ASSERT_TRUE(waitUntil([&] { return second.has_value(); }));
    EXPECT_EQ(*second, ScreenCapture::CaptureOutcome::Failed);

    ASSERT_TRUE(waitForOverlay());
    ASSERT_TRUE(xdotool({QStringLiteral("mousemove"), QStringLiteral("50"), QStringLiteral("60"),
                         QStringLiteral("mousedown"), QStringLiteral("1"), QStringLiteral("mousemove"),
                         QStringLiteral("150"), QStringLiteral("100"), QStringLiteral("mousemove"),
                         QStringLiteral("250"), QStringLiteral("140"), QStringLiteral("mouseup"),
                         QStringLiteral("1")}));
    ASSERT_TRUE(waitUntil([&] { return calls > 0; }, 10000));
    EXPECT_TRUE(captured);

    std::optional<QImage> image;
    bool answered = false;
    pasteboard.readImage(
        [&](std::optional<QImage> value) {
            image = std::move(value);
            answered = true;
        },
        5000);
    ASSERT_TRUE(waitUntil([&] { return answered; }, 6000));
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->size(), QSize(200, 80));
    runQueuedWork();
    EXPECT_EQ(calls, 1);
    pasteboard.setString(QStringLiteral("done")); // lets the tool's clipboard server go
}

TEST(X11ScreenCaptureTest, EscapeIsACancelAndAMissingToolAFailureEachReportedOnce) {
    using Outcome = ScreenCapture::CaptureOutcome;
    X11ScreenCapture capture(QStringLiteral(QUILLORA_SCREENCAPTURE_PATH));
    QList<Outcome> answers;
    capture.captureInteractiveRegionToClipboard([&](Outcome outcome) { answers.append(outcome); });
    ASSERT_TRUE(waitForOverlay());
    // The overlay may get its keyboard grab only after the first press on a loaded machine.
    for (int i = 0; i < 20 && answers.isEmpty(); ++i) {
        ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Escape")}));
        waitUntil([&] { return !answers.isEmpty(); }, 500);
    }
    ASSERT_FALSE(answers.isEmpty());
    runQueuedWork();
    EXPECT_EQ(answers, QList<Outcome>{Outcome::Cancelled});

    X11ScreenCapture missing(QStringLiteral("/nonexistent/quillora-screencapture"));
    answers.clear();
    missing.captureInteractiveRegionToClipboard([&](Outcome outcome) { answers.append(outcome); });
    EXPECT_TRUE(answers.isEmpty());
    ASSERT_TRUE(waitUntil([&] { return !answers.isEmpty(); }));
    EXPECT_EQ(answers, QList<Outcome>{Outcome::Failed});
}

TEST(X11ScreenCaptureTest, ToolIsLookedForBesideTheRunningProgram) {
    X11ScreenCapture capture;
    EXPECT_EQ(capture.toolPath(),
              QCoreApplication::applicationDirPath() + QStringLiteral("/quillora-screencapture"));
}

} // namespace

#endif

// Synthetic keys through XTest, received by a window of this process and by another application.
#include "TestUtils.h"
#include "TextWindowProcess.h"
#include "platform/x11/X11KeyEventPoster.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <gtest/gtest.h>

namespace {

bool activate(TextWindowProcess& client) {
    return xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                    QString::number(client.windowId())}) &&
           xdotool(
               {QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::number(client.windowId())});
}

TEST(X11KeyEventPoster, TypesIntoAFocusedWindowOfThisProcess) {
    QLineEdit edit;
    edit.setWindowTitle(QStringLiteral("key poster target"));
    edit.show();
    edit.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
    edit.setFocus();

    X11KeyEventPoster poster;
    ASSERT_TRUE(poster.postKey(Qt::Key_A, Qt::NoModifier));
    ASSERT_TRUE(poster.postKey(Qt::Key_B, Qt::ShiftModifier));
    ASSERT_TRUE(poster.postKey(Qt::Key_Exclam, Qt::NoModifier)) << "a shifted symbol gets its Shift";
    ASSERT_TRUE(poster.postKey(Qt::Key_3, Qt::NoModifier));
    EXPECT_TRUE(waitUntil([&] { return edit.text() == QLatin1String("aB!3"); })) << qPrintable(edit.text());

    // The platform's copy key copies the selection.
    edit.setText(QStringLiteral("copied by a synthetic key"));
    edit.selectAll();
    QApplication::clipboard()->setText(QStringLiteral("before"));
    ASSERT_TRUE(poster.postCopy());
    EXPECT_TRUE(waitUntil(
        [] { return QApplication::clipboard()->text() == QLatin1String("copied by a synthetic key"); }));
}

TEST(X11KeyEventPoster, ReachesAnotherApplication) {
    TextWindowProcess client(QStringLiteral(QUILLORA_TEST_TEXTWINDOW_PATH));
    ASSERT_TRUE(client.start());
    ASSERT_TRUE(activate(client));

    X11KeyEventPoster poster;
    const int before = int(client.lines().size());
    ASSERT_TRUE(poster.postCopy());
    EXPECT_GE(client.waitForLine(QStringLiteral("key Ctrl+C"), before), 0);
    ASSERT_TRUE(poster.postKey(Qt::Key_Z, Qt::NoModifier));
    EXPECT_GE(client.waitForLine(QStringLiteral("key Z z"), before), 0);
    ASSERT_TRUE(poster.postKey(Qt::Key_Return, Qt::NoModifier));
    EXPECT_GE(client.waitForLine(QStringLiteral("key Return"), before), 0);
}

TEST(X11KeyEventPoster, ReleasesModifiersTheUserStillHolds) {
    TextWindowProcess client(QStringLiteral(QUILLORA_TEST_TEXTWINDOW_PATH));
    ASSERT_TRUE(client.start());
    ASSERT_TRUE(activate(client));
    X11KeyEventPoster poster;

    // Shift of a hot key is still down when the action posts its key.
    ASSERT_TRUE(xdotool({QStringLiteral("keydown"), QStringLiteral("shift")}));
    int from = client.waitForLine(QStringLiteral("key Shift"));
    ASSERT_GE(from, 0);
    ASSERT_TRUE(poster.postKey(Qt::Key_A, Qt::NoModifier));
    int typed = client.waitForLine(QStringLiteral("key A a"), from);
    EXPECT_GE(typed, 0);
    EXPECT_EQ(client.lines().indexOf(QStringLiteral("key Shift+A A"), from), -1);
    xdotool({QStringLiteral("keyup"), QStringLiteral("shift")});

    // Ctrl and Alt held: the copy key arrives as plain Ctrl+C.
    ASSERT_TRUE(xdotool({QStringLiteral("keydown"), QStringLiteral("ctrl+alt")}));
    from = int(client.lines().size());
    ASSERT_TRUE(poster.postCopy());
    EXPECT_GE(client.waitForLine(QStringLiteral("key Ctrl+C"), from), 0);
    EXPECT_EQ(client.lines().indexOf(QStringLiteral("key Ctrl+Alt+C"), from), -1);
    xdotool({QStringLiteral("keyup"), QStringLiteral("ctrl+alt")});
}

TEST(X11KeyEventPoster, RefusesKeysTheLayoutCannotType) {
    X11KeyEventPoster poster;
    EXPECT_FALSE(poster.postKey(Qt::Key_unknown, Qt::NoModifier));
    EXPECT_FALSE(poster.postKey(Qt::Key_Launch0, Qt::ControlModifier));
}

} // namespace

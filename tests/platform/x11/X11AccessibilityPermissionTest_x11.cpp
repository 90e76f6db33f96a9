#include "platform/x11/X11AccessibilityPermission.h"

#include <QApplication>
#include <QMessageBox>
#include <gtest/gtest.h>

namespace {

// The test display (Xvfb) offers XTEST and XInput 2, as a desktop X server does.
TEST(X11AccessibilityPermissionTest, TrustedOnADisplayWithXTestAndXInput2) {
    X11AccessibilityPermission permission;
    EXPECT_TRUE(permission.isProcessTrusted());
    EXPECT_TRUE(permission.isProcessTrusted());
}

TEST(X11AccessibilityPermissionTest, RequestExplainsWhatTheDisplayLacksInOneDialog) {
    X11AccessibilityPermission permission;
    permission.requestTrust();
    permission.requestTrust();
    QList<QMessageBox*> dialogs;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == QLatin1String("PermissionExplanation") && window->isVisible())
            dialogs.append(qobject_cast<QMessageBox*>(window));
    }
    ASSERT_EQ(dialogs.size(), 1);
    ASSERT_NE(dialogs.first(), nullptr);
    EXPECT_TRUE(dialogs.first()->text().contains(QLatin1String("XInput 2 and XTEST")));
    dialogs.first()->close();
}

} // namespace

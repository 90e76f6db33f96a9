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
    const auto shownDialogs = [] {
        QList<QMessageBox*> dialogs;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->objectName() == QLatin1String("PermissionExplanation") && window->isVisible())
                dialogs.append(qobject_cast<QMessageBox*>(window));
        }
        return dialogs;
    };
    X11AccessibilityPermission permission;
    permission.requestTrust(nullptr);
    permission.requestTrust(nullptr);
    const QList<QMessageBox*> dialogs = shownDialogs();
    ASSERT_EQ(dialogs.size(), 1);
    ASSERT_NE(dialogs.first(), nullptr);
    EXPECT_TRUE(dialogs.first()->text().contains(QLatin1String("XInput 2 and XTEST")));

    // Asked over a window (the onboarding window), it is the one dialog and goes when that window goes.
    auto* window = new QWidget;
    window->show();
    permission.requestTrust(window);
    EXPECT_EQ(shownDialogs().size(), 1);
    delete window;
    EXPECT_TRUE(shownDialogs().isEmpty());
}

} // namespace

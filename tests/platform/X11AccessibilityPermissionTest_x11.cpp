#include "platform/x11/X11AccessibilityPermission.h"

#include <QDesktopServices>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl& url) { urls.append(url); }
};

// The test display (Xvfb) offers XTEST and XInput 2, as a desktop X server does.
TEST(X11AccessibilityPermissionTest, TrustedOnADisplayWithXTestAndXInput2) {
    X11AccessibilityPermission permission;
    EXPECT_TRUE(permission.isProcessTrusted());
    EXPECT_TRUE(permission.isProcessTrusted());
}

TEST(X11AccessibilityPermissionTest, RequestOpensTheHelpPage) {
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
    X11AccessibilityPermission permission;
    permission.requestTrust();
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls[0].scheme(), QStringLiteral("https"));
}

} // namespace

#include "X11AccessibilityPermissionTest_x11.moc"

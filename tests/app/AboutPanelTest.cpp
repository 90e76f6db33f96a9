#include "app/AboutPanel.h"

#include "TestUtils.h"
#include "app/QuilloraApp.h"
#include "services/AppVersion.h"

#include <QLabel>
#include <gtest/gtest.h>

TEST(AboutPanelTest, OnePanelWithNameVersionAndCredits) {
    QuilloraApp app;
    app.showAboutPanel();
    AboutPanel* panel = app.aboutPanel();
    ASSERT_NE(panel, nullptr);
    app.showAboutPanel();
    EXPECT_EQ(app.aboutPanel(), panel) << "shown again, not a second one";
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->findChild<QLabel*>(QStringLiteral("name"))->text(), QStringLiteral("Quillora"));
    EXPECT_EQ(panel->findChild<QLabel*>(QStringLiteral("version"))->text(),
              QStringLiteral("Version %1").arg(getAppVersion()));
    QLabel* credits = panel->findChild<QLabel*>(QStringLiteral("credits"));
    EXPECT_EQ(credits->text(), AboutPanel::credits);
    EXPECT_EQ(credits->font().pixelSize(), 12);

    panel->close();
    EXPECT_TRUE(waitUntil([&] { return app.aboutPanel() == nullptr; }, 10000)) << "closing releases it";
}

TEST(QuilloraAppTest, UntitledWindowsCloseWhenTheWindowListChanges) {
    QuilloraApp app;
    QWidget titled;
    titled.setWindowTitle(QStringLiteral("Ayarlar"));
    titled.show();
    QWidget untitled;
    untitled.show();
    // A bar or popover is no window of the list, whatever its title.
    QWidget tool(nullptr, Qt::Tool);
    tool.show();
    EXPECT_TRUE(waitUntil([&] { return !untitled.isVisible(); }));

    // A title cleared while shown counts at the next change of the list.
    titled.setWindowTitle(QString());
    QWidget another;
    another.setWindowTitle(QStringLiteral("About Quillora"));
    another.show();
    EXPECT_TRUE(waitUntil([&] { return !titled.isVisible(); }));
    EXPECT_TRUE(another.isVisible());
    EXPECT_TRUE(tool.isVisible());

    // A window leaving the list changes it too.
    QWidget leaving;
    leaving.setWindowTitle(QStringLiteral("Translator"));
    leaving.show();
    runQueuedWork();
    another.setWindowTitle(QString());
    leaving.hide();
    EXPECT_TRUE(waitUntil([&] { return !another.isVisible(); }));
}

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

#include "ui/Theme.h"

#include "AppearanceGuard.h"
#include "ui/VisualEffectView.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

class ThemeTest : public ::testing::Test {
protected:
    AppearanceGuard m_guard;
};

} // namespace

TEST_F(ThemeTest, FollowsThePaletteLiveAndSignalsEachSwitchOnce) {
    AppearanceGuard::setDark(false);
    ASSERT_FALSE(Theme::dark());
    QSignalSpy spy(&Theme::shared(), &Theme::appearanceChanged);

    AppearanceGuard::setDark(true);
    EXPECT_TRUE(Theme::dark());
    EXPECT_EQ(spy.count(), 1);

    // Another dark palette is no switch.
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Window, QColor(20, 20, 20));
    QApplication::setPalette(palette);
    EXPECT_EQ(spy.count(), 1);

    AppearanceGuard::setDark(false);
    EXPECT_FALSE(Theme::dark());
    EXPECT_EQ(spy.count(), 2);
}

TEST_F(ThemeTest, LightAppearanceColours) {
    AppearanceGuard::setDark(false);
    EXPECT_LT(Theme::primaryText().lightness(), 50);
    EXPECT_GT(Theme::primaryText().alpha(), 200);
    EXPECT_LT(Theme::secondaryText().lightness(), 50);
    EXPECT_LT(Theme::secondaryText().alpha(), Theme::primaryText().alpha());
    EXPECT_EQ(Theme::accent(), QColor(0, 122, 255));
    EXPECT_EQ(Theme::background().alpha(), 0);
    // Fields are white at 70 %, cards and faint fills are the control background at 70 % and 30 %.
    EXPECT_EQ(Theme::fieldFill().rgb(), QColor(255, 255, 255).rgb());
    EXPECT_NEAR(Theme::fieldFill().alphaF(), 0.7, 0.01);
    EXPECT_NEAR(Theme::cardFill().alphaF(), 0.7, 0.01);
    EXPECT_NEAR(Theme::subtleFill().alphaF(), 0.3, 0.01);
    // The hairline is the separator (black at 25 of 255) at 90 %.
    EXPECT_EQ(Theme::border().rgb(), QColor(Qt::black).rgb());
    EXPECT_NEAR(Theme::border().alphaF(), 25 / 255.0 * 0.9, 0.002);
    EXPECT_GT(VisualEffectView::fillColor(VisualEffectView::Material::Popover).lightness(), 200);
}

TEST_F(ThemeTest, DarkAppearanceColours) {
    AppearanceGuard::setDark(true);
    EXPECT_GT(Theme::primaryText().lightness(), 200);
    EXPECT_GT(Theme::secondaryText().lightness(), 200);
    EXPECT_LT(Theme::secondaryText().alpha(), Theme::primaryText().alpha());
    EXPECT_EQ(Theme::accent(), QColor(10, 132, 255));
    EXPECT_LT(Theme::fieldFill().lightness(), 50);
    EXPECT_NEAR(Theme::fieldFill().alphaF(), 0.7, 0.01);
    EXPECT_EQ(Theme::border().rgb(), QColor(Qt::white).rgb());
    EXPECT_NEAR(Theme::border().alphaF(), 25 / 255.0 * 0.9, 0.002);
    EXPECT_LT(VisualEffectView::fillColor(VisualEffectView::Material::Popover).lightness(), 60);
    EXPECT_LT(VisualEffectView::fillColor(VisualEffectView::Material::HudWindow).lightness(), 60);
    EXPECT_EQ(VisualEffectView::fillColor(VisualEffectView::Material::Sidebar, false).alpha(), 255);
}

TEST_F(ThemeTest, MaterialRepaintsAfterASwitch) {
    AppearanceGuard::setDark(false);
    VisualEffectView view(VisualEffectView::Material::HudWindow);
    view.resize(40, 40);
    const QColor light = view.grab().toImage().pixelColor(20, 20);
    AppearanceGuard::setDark(true);
    const QColor dark = view.grab().toImage().pixelColor(20, 20);
    EXPECT_GT(light.lightness(), 200);
    EXPECT_LT(dark.lightness(), 60);
}

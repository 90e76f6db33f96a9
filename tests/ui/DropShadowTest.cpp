#include "AppearanceGuard.h"
#include "menubar/translator/TextCard.h"
#include "ui/DropShadow.h"
#include "ui/Theme.h"

#include <QGraphicsDropShadowEffect>
#include <QPainter>
#include <QPointer>
#include <QWidget>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// A field card as the translator paints it.
class Card : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override { TextCard::paint(this); }
};

// A window-coloured panel holding one card, with the card's shadow made by a graphics effect or by
// DropShadow; the panel as it appears.
QImage panelWithCard(const Theme::Shadow& shadow, bool effect) {
    QWidget panel;
    panel.resize(200, 120);
    panel.setAutoFillBackground(true);
    auto* card = new Card(&panel);
    card->setGeometry(30, 30, 140, 60);
    if (effect)
        Theme::applyShadow(card, shadow);
    else
        DropShadow::attach(card, shadow, [] { return Theme::fieldFill().alphaF(); });
    return panel.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

int largestDifference(const QImage& a, const QImage& b) {
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                std::abs(qBlue(p) - qBlue(q))});
        }
    }
    return largest;
}

QWidget* shadowOf(QWidget* target) {
    for (QObject* child : target->parentWidget()->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget && widget != target && widget->testAttribute(Qt::WA_TransparentForMouseEvents))
            return widget;
    }
    return nullptr;
}

} // namespace

TEST(DropShadow, LooksLikeTheBlurredEffectInBothAppearances) {
    AppearanceGuard guard;
    for (const bool dark : {false, true}) {
        AppearanceGuard::setDark(dark);
        for (const Theme::Shadow& shadow : {Theme::smallShadow(), Theme::mediumShadow()}) {
            SCOPED_TRACE(testing::Message() << (dark ? "dark" : "light") << ", radius " << shadow.radius);
            const QImage before = panelWithCard(shadow, true);
            const QImage after = panelWithCard(shadow, false);
            ASSERT_EQ(before.size(), after.size());
            // Both darken the panel just below the card, and by the same amount to within rounding.
            const QColor plain = after.pixelColor(5, 5);
            EXPECT_LT(after.pixelColor(100, 91).lightness(), plain.lightness());
            EXPECT_LE(largestDifference(before, after), 3);
        }
    }
}

TEST(DropShadow, FollowsItsWidgetAndReusesTheBlurredImage) {
    QWidget panel;
    panel.resize(300, 200);
    auto* card = new Card(&panel);
    auto* above = new QWidget(&panel);
    card->setGeometry(20, 20, 100, 40);
    DropShadow::attach(card, Theme::mediumShadow());
    QWidget* shadow = shadowOf(card);
    ASSERT_NE(shadow, nullptr);
    panel.show();

    const int reach = DropShadow::margin(Theme::mediumShadow().radius);
    const auto expected = [card, reach] {
        return card->geometry().translated(0, int(Theme::mediumShadow().y)).adjusted(-reach, -reach, reach, reach);
    };
    EXPECT_EQ(shadow->geometry(), expected());
    EXPECT_TRUE(shadow->isVisible());
    const auto justBelow = [&panel, card, shadow] {
        const QObjectList& order = panel.children();
        return order.indexOf(shadow) + 1 == order.indexOf(card);
    };
    EXPECT_TRUE(justBelow());

    card->setGeometry(50, 60, 180, 70);
    EXPECT_EQ(shadow->geometry(), expected());
    card->raise();
    EXPECT_TRUE(justBelow());
    above->raise();
    EXPECT_TRUE(justBelow());
    card->hide();
    EXPECT_FALSE(shadow->isVisible());
    card->show();
    EXPECT_TRUE(shadow->isVisible());

    // A widget moved to another parent takes its shadow along; a deleted one takes it away.
    QWidget other;
    card->setParent(&other);
    EXPECT_EQ(shadowOf(card)->parentWidget(), &other);
    QPointer<QWidget> moved = shadowOf(card);
    delete card;
    EXPECT_TRUE(moved.isNull());

    // The blur is made once per look and size; repaints copy it.
    const QImage first = DropShadow::image(QSize(80, 30), 12, 2, QColor(0, 0, 0, 26), 1);
    EXPECT_EQ(DropShadow::image(QSize(80, 30), 12, 2, QColor(0, 0, 0, 26), 1).cacheKey(), first.cacheKey());
    EXPECT_NE(DropShadow::image(QSize(80, 31), 12, 2, QColor(0, 0, 0, 26), 1).cacheKey(), first.cacheKey());
    EXPECT_EQ(first.size(), QSize(80 + 12, 30 + 12));
}

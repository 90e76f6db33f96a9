#include "menubar/translator/FlowLayout.h"

#include <QWidget>
#include <gtest/gtest.h>
#include <optional>

namespace {

struct FlowCase {
    const char* name;
    QList<QSize> sizes;
    std::optional<int> width;
    int expectedHeight;
    QList<QPoint> expectedOrigins; // placed in bounds of `width` (or 10000) at the origin
};

} // namespace

TEST(FlowLayout, WrapsItemsLikeWordsAtEachWidth) {
    const QSize w50(50, 20);
    const QList<FlowCase> cases = {
        {"no items", {}, 200, 0, {}},
        {"third item crosses the edge", {w50, w50, w50}, 158, 48, {{0, 0}, {58, 0}, {0, 28}}},
        {"item ending exactly at the edge stays", {w50, w50, w50}, 166, 20, {{0, 0}, {58, 0}, {116, 0}}},
        {"no width: one row", {w50, w50, w50, w50}, std::nullopt, 20, {{0, 0}, {58, 0}, {116, 0}, {174, 0}}},
        {"width 0: one item a row", {w50, w50}, 0, 48, {{0, 0}, {0, 28}}},
        {"first item wider than the line stays first", {QSize(300, 20), w50}, 100, 48, {{0, 0}, {0, 28}}},
        {"rows are spaced from their tallest item",
         {QSize(60, 20), QSize(60, 12), QSize(60, 30), QSize(10, 5)},
         130,
         58,
         {{0, 0}, {68, 0}, {0, 28}, {68, 28}}},
    };
    for (const FlowCase& c : cases) {
        SCOPED_TRACE(c.name);
        const FlowLayout::Measure measured = FlowLayout::measure(c.sizes, 8, c.width);
        EXPECT_EQ(measured.width, c.width);
        EXPECT_EQ(measured.height, c.expectedHeight);
        const QList<QRect> frames = FlowLayout::place(c.sizes, 8, QRect(0, 0, c.width.value_or(10000), 500));
        ASSERT_EQ(frames.size(), c.expectedOrigins.size());
        for (int i = 0; i < frames.size(); ++i) {
            EXPECT_EQ(frames.at(i).topLeft(), c.expectedOrigins.at(i)) << "item " << i;
            EXPECT_EQ(frames.at(i).size(), c.sizes.at(i)) << "items keep their size";
        }
    }
}

TEST(FlowLayout, PlacesFromTheBoundsOriginAndWrapsAtTheirRightEdge) {
    const QList<QSize> sizes(3, QSize(50, 20));
    const QList<QRect> frames = FlowLayout::place(sizes, 8, QRect(30, 40, 158, 100));
    EXPECT_EQ(frames.at(0).topLeft(), QPoint(30, 40));
    EXPECT_EQ(frames.at(1).topLeft(), QPoint(88, 40));
    EXPECT_EQ(frames.at(2).topLeft(), QPoint(30, 68));
}

TEST(FlowLayout, LaysOutChildWidgetsAndReportsItsHeightForWidth) {
    QWidget host;
    auto* layout = new FlowLayout(8, &host);
    QList<QWidget*> children;
    for (int i = 0; i < 3; ++i) {
        auto* child = new QWidget;
        child->setFixedSize(50, 20);
        layout->addWidget(child);
        children.append(child);
    }
    EXPECT_TRUE(layout->hasHeightForWidth());
    EXPECT_EQ(layout->heightForWidth(158), 48);
    EXPECT_EQ(layout->heightForWidth(166), 20);
    EXPECT_EQ(layout->sizeHint(), QSize(166, 20));

    layout->setGeometry(QRect(0, 0, 158, 48));
    EXPECT_EQ(children.at(2)->geometry(), QRect(0, 28, 50, 20));
    // Hidden children take no place.
    children.at(1)->hide();
    layout->setGeometry(QRect(0, 0, 158, 48));
    EXPECT_EQ(children.at(2)->geometry(), QRect(58, 0, 50, 20));
}

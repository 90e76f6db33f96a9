#include "ui/RoundedBox.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

const QColor red(255, 0, 0);
const QColor blue(0, 0, 255);

QImage blank(QSize size = QSize(40, 30)) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QImage rendered(QWidget& widget) {
    QImage image = blank(widget.size());
    widget.render(&image, QPoint(), QRegion(), {});
    return image;
}

} // namespace

// A one-pixel border on a path inset by half a pixel covers the outermost pixels exactly, over the fill;
// a box without a border or without a fill leaves that part out; square corners reach the image's corner.
TEST(RoundedBox, FillAndBorderCoverTheirPixels) {
    const QRectF inset = QRectF(0, 0, 40, 30).adjusted(0.5, 0.5, -0.5, -0.5);
    struct Case {
        const char* name;
        QRectF rect;
        qreal radius;
        QBrush fill;
        QPen border;
        QColor corner, edge, centre;
    };
    const Case cases[] = {
        {"filled and bordered", inset, 8, red, QPen(blue, 1), Qt::transparent, blue, red},
        {"border alone", inset, 8, Qt::NoBrush, QPen(blue, 1), Qt::transparent, blue, Qt::transparent},
        {"fill alone", QRectF(0, 0, 40, 30), 8, red, Qt::NoPen, Qt::transparent, red, red},
        {"square corners", QRectF(0, 0, 40, 30), 0, red, Qt::NoPen, red, red, red},
    };
    for (const Case& c : cases) {
        QImage image = blank();
        QPainter painter(&image);
        const QPen pen(Qt::green, 3);
        painter.setPen(pen);
        painter.setBrush(Qt::yellow);
        paintRoundedBox(painter, c.rect, c.radius, c.fill, c.border);
        EXPECT_TRUE(painter.testRenderHint(QPainter::Antialiasing)) << c.name;
        EXPECT_EQ(painter.pen(), pen) << c.name;
        EXPECT_EQ(painter.brush(), QBrush(Qt::yellow)) << c.name;
        painter.end();
        EXPECT_EQ(image.pixelColor(0, 0), c.corner) << c.name;
        EXPECT_EQ(image.pixelColor(20, 0), c.edge) << c.name;
        EXPECT_EQ(image.pixelColor(39, 15), c.edge) << c.name;
        EXPECT_EQ(image.pixelColor(20, 15), c.centre) << c.name;
    }
}

// The widget asks for its colours at each paint; with a border colour it draws a line just inside its
// edge, without one the fill reaches the edge.
TEST(RoundedBox, WidgetPaintsTheColoursItIsGivenAtEachPaint) {
    QColor fill = red;
    RoundedBoxWidget bordered(
        8, [&fill] { return fill; }, [] { return blue; });
    bordered.resize(40, 30);
    QImage image = rendered(bordered);
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::transparent));
    EXPECT_EQ(image.pixelColor(20, 0), blue);
    EXPECT_EQ(image.pixelColor(20, 29), blue);
    EXPECT_EQ(image.pixelColor(20, 15), red);
    fill = Qt::green;
    EXPECT_EQ(rendered(bordered).pixelColor(20, 15), QColor(Qt::green));

    RoundedBoxWidget square(0, [] { return red; });
    square.resize(40, 30);
    image = rendered(square);
    for (const QPoint point : {QPoint(0, 0), QPoint(39, 29), QPoint(20, 0), QPoint(20, 15)})
        EXPECT_EQ(image.pixelColor(point), red) << point.x() << "," << point.y();
}

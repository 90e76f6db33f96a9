#include "ui/Backdrop.h"

#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>

namespace {

// A widget that paints what it is given.
class Painted : public QWidget {
public:
    Painted(std::function<void(QPainter&, const QRect&)> paint, QWidget* parent = nullptr)
        : QWidget(parent)
        , m_paint(std::move(paint)) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        m_paint(painter, rect());
    }

private:
    std::function<void(QPainter&, const QRect&)> m_paint;
};

// Paints its backdrop and a dot, like a text area its cursor.
class Opaque : public QWidget {
public:
    explicit Opaque(QWidget* parent)
        : QWidget(parent)
        , backdrop(new Backdrop(this)) {}

    Backdrop* backdrop;

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        backdrop->paint(painter, event->region());
        painter.fillRect(QRect(4, 4, 2, 12), Qt::black);
    }
};

void roundedFill(QPainter& painter, const QRect& rect, const QColor& color) {
    QPainterPath path;
    path.addRoundedRect(QRectF(rect).adjusted(0.25, 0.25, -0.25, -0.25), 12, 12);
    painter.fillPath(path, color);
}

// A translucent window with a gradient, a translucent panel lowered under a card, the card's
// translucent rounded fill, and a label-like sibling under the opaque widget.
struct Scene {
    Painted window{[](QPainter& painter, const QRect& rect) {
        QLinearGradient gradient(rect.topLeft(), rect.bottomRight());
        gradient.setColorAt(0, QColor(250, 250, 250, 240));
        gradient.setColorAt(1, QColor(120, 160, 200, 240));
        roundedFill(painter, rect, QColor(0, 0, 0, 0));
        painter.fillRect(rect, gradient);
    }};
    Painted* panel = new Painted([](QPainter& painter, const QRect& rect) {
        roundedFill(painter, rect, QColor(236, 236, 238, 224));
    }, &window);
    Painted* card = new Painted([](QPainter& painter, const QRect& rect) {
        roundedFill(painter, rect, QColor(255, 255, 255, 178));
        painter.setPen(QPen(QColor(0, 0, 0, 40), 0.5));
        painter.drawLine(rect.topLeft(), rect.bottomRight());
    }, &window);
    Painted* under = new Painted([](QPainter& painter, const QRect& rect) {
        painter.fillRect(rect.adjusted(2, 2, -2, -2), QColor(200, 0, 0, 90));
    }, card);
    Opaque* opaque = new Opaque(card);
    Painted* above = new Painted([](QPainter& painter, const QRect& rect) {
        painter.fillRect(rect, QColor(0, 0, 200, 60));
    }, card);

    Scene() {
        window.setAttribute(Qt::WA_TranslucentBackground);
        window.resize(260, 200);
        panel->setGeometry(5, 5, 250, 190);
        card->setGeometry(20, 30, 200, 140);
        under->setGeometry(10, 10, 80, 30);
        opaque->setGeometry(8, 12, 150, 100);
        above->setGeometry(120, 100, 60, 30);
    }
};

} // namespace

TEST(Backdrop, SnapshotIsWhatTheWindowPaintsUnderTheWidgetWhereverItIs) {
    Scene scene;
    for (const QPoint position : {QPoint(8, 12), QPoint(30, 26)}) {
        SCOPED_TRACE(testing::Message() << "at " << position.x() << "," << position.y());
        scene.opaque->move(position);
        // What lies under the widget: the window without it and without what lies above it.
        scene.opaque->hide();
        scene.above->hide();
        const QRect area(scene.opaque->mapTo(&scene.window, QPoint(0, 0)), scene.opaque->size());
        const QImage expected =
            scene.window.grab(area).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        scene.opaque->show();
        scene.above->show();
        const QImage snapshot = Backdrop::render(scene.opaque);
        ASSERT_EQ(snapshot.size(), expected.size());
        EXPECT_EQ(snapshot, expected);

        // The widget paints it under its own drawing, also when the window is itself being rendered, and
        // takes it anew where it moved.
        const QImage whole =
            scene.window.grab(area).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        EXPECT_EQ(whole.pixel(5, 10), QColor(Qt::black).rgba());
        for (const QPoint point : {QPoint(1, 1), QPoint(20, 20), QPoint(60, 50), QPoint(80, 70), QPoint(149, 5)})
            EXPECT_EQ(whole.pixel(point), expected.pixel(point)) << point.x() << "," << point.y();
    }
}

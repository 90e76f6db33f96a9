#pragma once

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QSize>

class QPainter;
class QWidget;

// Makes a widget that repaints often (a text area with a blinking cursor) opaque to the repaint
// machinery, so that an update of a few of its pixels no longer repaints everything beneath them: the
// rounded window, panels, cards and shadows. The widget paints instead a snapshot of what lies under it
// (its ancestors and the siblings stacked below it, as the window paints them), taken again when its
// place in the window, the window's size, the appearance or a showing may have changed it.
//
// Whatever lies under the widget must look the same for as long as these do, or call invalidate().
class Backdrop : public QObject {
public:
    explicit Backdrop(QWidget* widget);

    // Fills `region` of the widget with the snapshot. The widget's paint event calls it first.
    void paint(QPainter& painter, const QRegion& region);
    void invalidate() { m_image = QImage(); }

    // What lies under `widget`, `widget`-sized, as the window would paint it there.
    static QImage render(QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Key {
        QPoint offset;
        QSize size;
        QSize windowSize;
        qreal dpr = 0;
        bool operator==(const Key&) const = default;
    };
    Key currentKey() const;

    QWidget* m_widget;
    QImage m_image;
    Key m_key;
};

#include "menubar/translator/FlowLayout.h"

#include <QWidget>
#include <algorithm>

FlowLayout::FlowLayout(int spacing, QWidget* parent)
    : QLayout(parent) {
    setSpacing(spacing);
    setContentsMargins(0, 0, 0, 0);
}

FlowLayout::~FlowLayout() {
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

FlowLayout::Measure FlowLayout::measure(const QList<QSize>& sizes, int spacing, std::optional<int> width) {
    // x carries the gap after every item, so the test below counts one spacing per item already placed.
    qint64 x = 0;
    int y = 0;
    int rowHeight = 0;
    for (const QSize& size : sizes) {
        if (width && x + size.width() > *width && x > 0) {
            y += rowHeight + spacing;
            x = 0;
            rowHeight = 0;
        }
        rowHeight = std::max(rowHeight, size.height());
        x += size.width() + spacing;
    }
    return {width, y + rowHeight};
}

QList<QRect> FlowLayout::place(const QList<QSize>& sizes, int spacing, const QRect& bounds) {
    QList<QRect> frames;
    frames.reserve(sizes.size());
    const qint64 maxX = qint64(bounds.x()) + bounds.width();
    qint64 x = bounds.x();
    int y = bounds.y();
    int rowHeight = 0;
    for (const QSize& size : sizes) {
        if (x + size.width() > maxX && x > bounds.x()) {
            y += rowHeight + spacing;
            x = bounds.x();
            rowHeight = 0;
        }
        frames.append(QRect(QPoint(int(x), y), size));
        rowHeight = std::max(rowHeight, size.height());
        x += size.width() + spacing;
    }
    return frames;
}

void FlowLayout::addItem(QLayoutItem* item) {
    m_items.append(item);
    invalidate();
}

QLayoutItem* FlowLayout::itemAt(int index) const {
    return index >= 0 && index < m_items.size() ? m_items.at(index) : nullptr;
}

QLayoutItem* FlowLayout::takeAt(int index) {
    if (index < 0 || index >= m_items.size())
        return nullptr;
    QLayoutItem* item = m_items.takeAt(index);
    invalidate();
    return item;
}

QList<QSize> FlowLayout::itemSizes() const {
    QList<QSize> sizes;
    sizes.reserve(m_items.size());
    for (QLayoutItem* item : m_items) {
        if (!item->isEmpty())
            sizes.append(item->sizeHint());
    }
    return sizes;
}

int FlowLayout::heightForWidth(int width) const {
    const QMargins margins = contentsMargins();
    const int inner = std::max(0, width - margins.left() - margins.right());
    return measure(itemSizes(), spacing(), inner).height + margins.top() + margins.bottom();
}

QSize FlowLayout::sizeHint() const {
    const QList<QSize> sizes = itemSizes();
    int width = 0;
    for (const QSize& size : sizes)
        width += size.width();
    width += spacing() * std::max<int>(0, int(sizes.size()) - 1);
    const QMargins margins = contentsMargins();
    return QSize(width, measure(sizes, spacing(), std::nullopt).height).grownBy(margins);
}

QSize FlowLayout::minimumSize() const {
    // Any width will do; the height follows the width through heightForWidth.
    const QMargins margins = contentsMargins();
    return QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

void FlowLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    const QRect bounds = rect.marginsRemoved(contentsMargins());
    const QList<QRect> frames = place(itemSizes(), spacing(), bounds);
    int index = 0;
    for (QLayoutItem* item : m_items) {
        if (item->isEmpty())
            continue;
        item->setGeometry(frames.at(index++));
    }
}

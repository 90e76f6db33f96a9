#pragma once

#include <QLayout>
#include <QList>
#include <QRect>
#include <QSize>
#include <optional>

// Places its items left to right at their size hints and starts a new row when the next item would
// cross the right edge. Items are never shrunk or stretched: one wider than the line sits alone at the
// start of its row and overflows. Rows are left-aligned, top-aligned and `spacing` apart; the same
// spacing separates neighbours in a row.
class FlowLayout : public QLayout {
    Q_OBJECT
public:
    explicit FlowLayout(int spacing, QWidget* parent = nullptr);
    ~FlowLayout() override;

    // The rows' extent for items of `sizes`: the width given (or none, for a single row of any length)
    // and the height the rows need.
    struct Measure {
        std::optional<int> width;
        int height = 0;
    };
    static Measure measure(const QList<QSize>& sizes, int spacing, std::optional<int> width);
    // Where each item of `sizes` goes inside `bounds`.
    static QList<QRect> place(const QList<QSize>& sizes, int spacing, const QRect& bounds);

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override { return int(m_items.size()); }

    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    // One row of every item.
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    QList<QSize> itemSizes() const;

    QList<QLayoutItem*> m_items;
};

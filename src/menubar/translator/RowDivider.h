#pragma once

#include <QWidget>

// A hairline under a list row, starting `indent` from the leading edge.
class RowDivider : public QWidget {
    Q_OBJECT
public:
    explicit RowDivider(int indent, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_indent;
};

#pragma once

#include <QAbstractButton>
#include <QPixmap>

// A selector field button: an optional leading icon, a text filling the width, and a chevron, on the
// raised field of the selector style.
class SelectorButton : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int iconSide = 16;

    explicit SelectorButton(QWidget* parent = nullptr);

    void setIcon(const QPixmap& icon);
    QPixmap iconPixmap() const { return m_icon; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_icon;
};

#pragma once

#include <QColor>
#include <QVariantAnimation>
#include <QWidget>

// A small indeterminate progress indicator: twelve spokes turning. It animates only while shown.
class ProgressSpinner : public QWidget {
    Q_OBJECT
public:
    explicit ProgressSpinner(int diameter = 16, QWidget* parent = nullptr);

    // The spokes' colour; the primary text colour when none is set.
    void setColor(const QColor& color) { m_color = color; update(); }

    bool isAnimating() const { return m_animation.state() == QAbstractAnimation::Running; }
    QSize sizeHint() const override { return {m_diameter, m_diameter}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int m_diameter;
    int m_step = 0;
    QColor m_color;
    QVariantAnimation m_animation;
};

#pragma once

#include "services/RewriteStyle.h"

#include <QAbstractButton>
#include <QWidget>
#include <functional>

// The menu of rewrite styles under "Rewrite as:", one row per style in the style order. A click on a
// row records the style as the selected one, then hands it to `onSelect`. No row is marked.
class RewriteOptionsView : public QWidget {
    Q_OBJECT
public:
    static constexpr int menuWidth = 200;

    struct Row {
        RewriteStyle style;
        QString symbol;
        QString title;
    };
    static const QList<Row>& rows();

    explicit RewriteOptionsView(std::function<void(RewriteStyle)> onSelect, QWidget* parent = nullptr);

    RewriteStyle selectedStyle() const { return m_selectedStyle; }
    void setSelectedStyle(RewriteStyle style) { m_selectedStyle = style; }
    // The row buttons in order.
    QList<QAbstractButton*> buttons() const { return m_buttons; }

    void choose(RewriteStyle style);

Q_SIGNALS:
    void selectedStyleChanged(RewriteStyle style);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::function<void(RewriteStyle)> m_onSelect;
    RewriteStyle m_selectedStyle = RewriteStyle::Regenerate;
    QList<QAbstractButton*> m_buttons;
};

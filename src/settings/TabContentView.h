#pragma once

#include <QScrollArea>

// The content area of the settings window: the selected tab's view at the top of a scroll view without
// scroll bars, padded 30 at the sides. A change of tab makes a new one, so a tab starts afresh and
// scrolled to the top.
class TabContentView : public QScrollArea {
    Q_OBJECT
public:
    explicit TabContentView(int selectedTab, QWidget* parent = nullptr);

    int selectedTab() const { return m_selectedTab; }
    // The tab's view; null for a position outside the tab table.
    QWidget* tabView() const { return m_tabView; }

    static constexpr int padding = 30;

private:
    int m_selectedTab;
    QWidget* m_tabView = nullptr;
};

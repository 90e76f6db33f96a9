#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <functional>

class SettingsTabBar;
class TabContentView;

// The root of the settings window: the tab row over the selected tab's content, 700 x 550 in all. It
// also owns the confirmation of "Reset All Settings": the General tab posts "ShowResetAlert", and only a
// view that exists answers it.
//
// The Shortcuts tab comes from the hot-key library's side: install its view's factory once at start-up
// with setShortcutsTabFactory(); each selection of the tab calls it for a new view (owned by the
// settings window). Until one is installed the tab's place shows nothing.
class SettingsView : public QWidget {
    Q_OBJECT
public:
    using TabFactory = std::function<QWidget*()>;

    enum Tab { General = 0, FloatingBar = 1, Shortcuts = 2, About = 3 };

    static void setShortcutsTabFactory(TabFactory factory);
    static const TabFactory& shortcutsTabFactory();

    explicit SettingsView(QWidget* parent = nullptr);
    ~SettingsView() override;

    int selectedTab() const { return m_selectedTab; }
    void setSelectedTab(int index);
    SettingsTabBar* tabBar() const { return m_tabBar; }
    TabContentView* content() const { return m_content; }

    // The reset confirmation while it is up; null otherwise.
    QMessageBox* resetAlert() const { return m_resetAlert; }
    void presentResetAlert();
    // What "Reset" in the alert runs.
    void resetAllSettings();

    // Smaller than 700 x 550 where `area` has no room for it; the tabs then scroll.
    void fitInto(const QRect& area);

    static constexpr int viewWidth = 700;
    static constexpr int viewHeight = 550;

protected:
    void showEvent(QShowEvent* event) override;

private:
    SettingsTabBar* m_tabBar;
    TabContentView* m_content = nullptr;
    int m_selectedTab = -1;
    QPointer<QMessageBox> m_resetAlert;
};

#pragma once

#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class AppSelectorView;
class MenuPicker;
class QAbstractButton;
class QLabel;
class QScrollArea;
class ToggleSettingView;

// The "Floating Bar" tab: the floating bar on or off, the provider of its popover, and the applications
// in which it never shows. The excluded list is read from the store each time the tab is shown and after
// each add or remove made here; a change made elsewhere meanwhile shows at the next of these.
class FloatingBarTabView : public QWidget {
    Q_OBJECT
public:
    explicit FloatingBarTabView(QWidget* parent = nullptr);
    ~FloatingBarTabView() override;

    const QStringList& excludedApps() const { return m_excludedApps; }
    ToggleSettingView* showFloatingBarRow() const { return m_showFloatingBar; }
    MenuPicker* servicePicker() const { return m_servicePicker; }
    QAbstractButton* addButton() const { return m_addButton; }
    // The list box's content: the empty-state text or the rows' scroll area, whichever shows.
    QLabel* emptyListLabel() const { return m_emptyLabel; }
    QScrollArea* listScrollArea() const { return m_listArea; }
    // The remove buttons of the rows, in list order.
    QList<QAbstractButton*> removeButtons() const;
    // The application picker while its sheet is open.
    QDialog* appSelectorSheet() const { return m_sheet; }
    AppSelectorView* appSelector() const;

    void presentAppSelector();

    // Three rows high; more scroll inside. Any higher and the tab would not fit the window.
    static constexpr int listBoxHeight = 116;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void reloadExcludedApps();
    void removeExcludedApp(const QString& bundleIdentifier);
    void addExcludedApp(const QString& bundleIdentifier);
    void rebuildList();

    QStringList m_excludedApps;
    ToggleSettingView* m_showFloatingBar;
    MenuPicker* m_servicePicker;
    QAbstractButton* m_addButton;
    QWidget* m_listBox;
    QLabel* m_emptyLabel;
    QScrollArea* m_listArea;
    QPointer<QDialog> m_sheet;
};

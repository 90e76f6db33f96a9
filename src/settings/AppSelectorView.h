#pragma once

#include "settings/RunningApp.h"

#include <QList>
#include <QWidget>
#include <functional>

class QAbstractButton;
class QLineEdit;
class QScrollArea;
class QVBoxLayout;

// The application picker: the regular applications running when it comes on screen, narrowed by a
// search over their names. A click on a row hands that application's bundle identifier to `onSelect`;
// the picker stays open until its presenter closes it. Cancel (or Ctrl+Escape) asks to be dismissed.
class AppSelectorView : public QWidget {
    Q_OBJECT
public:
    using OnSelect = std::function<void(const QString& bundleIdentifier)>;

    explicit AppSelectorView(OnSelect onSelect, QWidget* parent = nullptr);

    const QList<RunningApp>& runningApps() const { return m_runningApps; }
    QList<RunningApp> filteredApps() const;
    QString searchText() const;

    QLineEdit* searchField() const { return m_searchField; }
    QAbstractButton* clearButton() const { return m_clearButton; }
    QAbstractButton* cancelButton() const { return m_cancelButton; }
    // One button per shown row, in list order.
    QList<QAbstractButton*> rowButtons() const;

    static constexpr QSize sheetSize{500, 400};

Q_SIGNALS:
    void dismissRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void rebuildRows();

    OnSelect m_onSelect;
    QList<RunningApp> m_runningApps;
    QLineEdit* m_searchField;
    QAbstractButton* m_clearButton;
    QAbstractButton* m_cancelButton;
    QScrollArea* m_list;
    QWidget* m_rows = nullptr;
};

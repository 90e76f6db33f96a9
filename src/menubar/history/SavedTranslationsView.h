#pragma once

#include "menubar/history/SavedTranslationCardDelegate.h"
#include "menubar/history/TranslationHistoryItem.h"

#include <QWidget>

class QAbstractButton;
class QLabel;
class QListView;

class QStackedWidget;
class SavedTranslationsModel;

// The sheet shared by the history and the favorites: a back button, the title and "Clear All" over the
// list of cards, or an empty state while the list is empty. The list follows the store's model live. A
// card click loads the record into the translator and asks for the sheet to close.
class SavedTranslationsView : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize sheetSize{400, 500};

    struct Texts {
        QString title;
        QString emptySymbol;
        QString emptyTitle;
        QString emptySubtitle;
        // Posted after "LoadTranslation" on a card click.
        QString closeNotification;
    };

    QListView* listView() const { return m_list; }
    SavedTranslationCardDelegate* delegate() const { return m_delegate; }
    QAbstractButton* backButton() const { return m_back; }
    QAbstractButton* clearAllButton() const { return m_clearAll; }
    bool isShowingEmptyState() const;

    // Posts "LoadTranslation" with the record, then the sheet's close notification.
    void loadTranslation(const TranslationHistoryItem& item);

Q_SIGNALS:
    // The back button: whoever shows the sheet closes it.
    void dismissRequested();

protected:
    SavedTranslationsView(SavedTranslationsModel* model, Texts texts,
                          SavedTranslationCardDelegate::Button button,
                          std::function<bool(const TranslationHistoryItem&)> isFavorite, QWidget* parent);

    virtual void clearAll() = 0;
    virtual void buttonClicked(const TranslationHistoryItem& item) = 0;

    void changeEvent(QEvent* event) override;

private:
    QWidget* makeHeader();
    QWidget* makeEmptyState();
    void followModel();

    SavedTranslationsModel* m_model;
    Texts m_texts;
    QListView* m_list = nullptr;
    SavedTranslationCardDelegate* m_delegate = nullptr;
    QStackedWidget* m_stack = nullptr;
    QAbstractButton* m_back = nullptr;
    QAbstractButton* m_clearAll = nullptr;
    QLabel* m_emptySymbol = nullptr;
};

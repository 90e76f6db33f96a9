#pragma once

#include "services/Language.h"

#include <QAbstractListModel>
#include <QList>
#include <QWidget>
#include <functional>

class QLineEdit;
class QListView;
class SymbolButton;

// The languages of a picker popover, after the search.
class LanguageListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { CodeRole = Qt::UserRole + 1, SelectedRole, LastRole };

    using QAbstractListModel::QAbstractListModel;

    void setLanguages(const QList<Language>& languages);
    const QList<Language>& languages() const { return m_languages; }
    void setSelectedCode(const QString& code);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    QList<Language> m_languages;
    QString m_selectedCode;
};

// A search field over a scrolling list of languages. Typing narrows the list to the languages whose name
// or code contains the text; the chosen one carries a check mark. A click on a row (or Return on the
// row reached with the arrow keys) chooses it and asks the owner to close the popover.
class LanguagePickerView : public QWidget {
    Q_OBJECT
public:
    static constexpr int rowVerticalPadding = 8;
    static constexpr int rowHorizontalPadding = 12;
    static constexpr int rowSpacing = 4;

    LanguagePickerView(const Language& selected, QList<Language> languages,
                       std::function<void(const Language&)> onSelect, std::function<void()> onDismiss,
                       QWidget* parent = nullptr);

    // Every entry whose name, else whose code, contains `searchText` ignoring case, in table order; all of
    // them for an empty text. The text is not trimmed.
    static QList<Language> filteredLanguages(const QList<Language>& languages, const QString& searchText);

    QString searchText() const;
    void setSearchText(const QString& text);
    QList<Language> shownLanguages() const { return m_model.languages(); }
    Language selectedLanguage() const { return m_selected; }
    // The row the arrow keys reached; -1 for none.
    int currentRow() const;

    void choose(const Language& language);
    void focusSearchField();

    QLineEdit* searchField() const { return m_searchField; }
    SymbolButton* clearButton() const { return m_clearButton; }
    QListView* listView() const { return m_list; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyFilter();
    void moveCurrent(int delta);

    Language m_selected;
    QList<Language> m_languages;
    std::function<void(const Language&)> m_onSelect;
    std::function<void()> m_onDismiss;
    LanguageListModel m_model;
    QLineEdit* m_searchField = nullptr;
    SymbolButton* m_clearButton = nullptr;
    QListView* m_list = nullptr;
};

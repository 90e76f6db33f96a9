#pragma once

#include "menubar/history/SavedTranslationsView.h"

class FavoritesManager;
class HistoryManager;

// The history sheet: the translation history, newest first. A row's bookmark adds the record to the
// favorites, or removes every favorite with the same texts when it is one already.
class HistoryView : public SavedTranslationsView {
    Q_OBJECT
public:
    explicit HistoryView(HistoryManager& history, FavoritesManager& favorites, QWidget* parent = nullptr);
    // Over the application's shared stores.
    explicit HistoryView(QWidget* parent = nullptr);

protected:
    void clearAll() override;
    void buttonClicked(const TranslationHistoryItem& item) override;

private:
    HistoryManager& m_history;
    FavoritesManager& m_favorites;
};

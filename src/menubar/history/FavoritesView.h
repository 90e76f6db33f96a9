#pragma once

#include "menubar/history/SavedTranslationsView.h"

class FavoritesManager;

// The favorites sheet: the saved translations, most recently saved first, each with "Remove".
class FavoritesView : public SavedTranslationsView {
    Q_OBJECT
public:
    explicit FavoritesView(FavoritesManager& favorites, QWidget* parent = nullptr);
    // Over the application's shared store.
    explicit FavoritesView(QWidget* parent = nullptr);

protected:
    void clearAll() override;
    void buttonClicked(const TranslationHistoryItem& item) override;

private:
    FavoritesManager& m_favorites;
};

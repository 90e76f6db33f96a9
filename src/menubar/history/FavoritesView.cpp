#include "menubar/history/FavoritesView.h"

#include "menubar/history/FavoritesManager.h"
#include "platform/Notifications.h"

FavoritesView::FavoritesView(FavoritesManager& favorites, QWidget* parent)
    : SavedTranslationsView(favorites.model(),
                            {QStringLiteral("Saved Translations"), QStringLiteral("bookmark"),
                             QStringLiteral("No saved translations yet"),
                             QStringLiteral("Your saved translations will appear here"),
                             Notifications::CloseFavoritesWindow},
                            SavedTranslationCardDelegate::Button::Remove, {}, parent)
    , m_favorites(favorites) {}

FavoritesView::FavoritesView(QWidget* parent)
    : FavoritesView(FavoritesManager::shared(), parent) {}

void FavoritesView::clearAll() {
    m_favorites.clearFavorites();
}

void FavoritesView::buttonClicked(const TranslationHistoryItem& item) {
    m_favorites.removeFavorite(item);
}

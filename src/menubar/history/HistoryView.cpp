#include "menubar/history/HistoryView.h"

#include "menubar/history/FavoritesManager.h"
#include "menubar/history/HistoryManager.h"
#include "platform/Notifications.h"

#include <QListView>

HistoryView::HistoryView(HistoryManager& history, FavoritesManager& favorites, QWidget* parent)
    : SavedTranslationsView(
          history.model(),
          {QStringLiteral("Translation History"), QStringLiteral("clock.arrow.circlepath"),
           QStringLiteral("No translation history yet"),
           QStringLiteral("Your recent translations will appear here"),
           Notifications::CloseHistoryWindow},
          SavedTranslationCardDelegate::Button::Bookmark,
          [&favorites](const TranslationHistoryItem& item) { return favorites.isFavorite(item); }, parent)
    , m_history(history)
    , m_favorites(favorites) {
    connect(&m_favorites, &FavoritesManager::favoritesChanged, this,
            [this] { listView()->viewport()->update(); });
}

HistoryView::HistoryView(QWidget* parent)
    : HistoryView(HistoryManager::shared(), FavoritesManager::shared(), parent) {}

void HistoryView::clearAll() {
    m_history.clearHistory();
}

void HistoryView::buttonClicked(const TranslationHistoryItem& item) {
    if (m_favorites.isFavorite(item))
        m_favorites.removeFavorite(item);
    else
        m_favorites.addFavorite(item);
}

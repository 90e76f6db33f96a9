#pragma once

#include "menubar/history/FavoritesView.h"
#include "menubar/history/HistoryView.h"

#include <QObject>
#include <QPointer>

// Opens and closes the history and favorites windows on "OpenHistoryWindow", "CloseHistoryWindow",
// "OpenFavoritesWindow" and "CloseFavoritesWindow". Each window is made when opened and dropped when
// closed; opening one that is open brings it to the front. They are normal top-level windows, so their
// taskbar entries follow the activation policy like every other window of the application.
class SavedTranslationsWindows : public QObject {
    Q_OBJECT
public:
    // Created on first use; from then on the four notifications are observed.
    static SavedTranslationsWindows& shared();

    HistoryView* historyWindow() const { return m_history; }
    FavoritesView* favoritesWindow() const { return m_favorites; }

    void showHistory();
    void showFavorites();
    void closeHistory();
    void closeFavorites();

private:
    SavedTranslationsWindows();

    QPointer<HistoryView> m_history;
    QPointer<FavoritesView> m_favorites;
};

#include "menubar/history/SavedTranslationsWindows.h"

#include "menubar/history/FavoritesView.h"
#include "menubar/history/HistoryView.h"
#include "platform/NotificationCenter.h"

#include <QApplication>

namespace {

template <typename View> void present(QPointer<View>& window) {
    if (!window) {
        window = new View;
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

SavedTranslationsWindows& SavedTranslationsWindows::shared() {
    static SavedTranslationsWindows* instance = new SavedTranslationsWindows;
    return *instance;
}

SavedTranslationsWindows::SavedTranslationsWindows()
    : QObject(qApp) {
    NotificationCenter& center = NotificationCenter::shared();
    center.addObserver(QStringLiteral("OpenHistoryWindow"), this,
                       [this](const QVariantMap&) { showHistory(); });
    center.addObserver(QStringLiteral("CloseHistoryWindow"), this,
                       [this](const QVariantMap&) { closeHistory(); });
    center.addObserver(QStringLiteral("OpenFavoritesWindow"), this,
                       [this](const QVariantMap&) { showFavorites(); });
    center.addObserver(QStringLiteral("CloseFavoritesWindow"), this,
                       [this](const QVariantMap&) { closeFavorites(); });
}

void SavedTranslationsWindows::showHistory() {
    present(m_history);
}

void SavedTranslationsWindows::showFavorites() {
    present(m_favorites);
}

void SavedTranslationsWindows::closeHistory() {
    if (m_history)
        m_history->close();
}

void SavedTranslationsWindows::closeFavorites() {
    if (m_favorites)
        m_favorites->close();
}

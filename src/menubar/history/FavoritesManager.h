#pragma once

#include "menubar/history/SavedTranslationsModel.h"
#include "menubar/history/SavedTranslationsStorage.h"
#include "menubar/history/TranslationHistoryItem.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <future>
#include <memory>
#include <utility>

class UserDefaults;

// The saved translations ("favorites"), most recently added first, without a limit. Written whole under
// "favoriteTranslations" after every change and read once at creation.
//
// Two records are the same favorite when their source texts and their translated texts are equal under
// canonical equivalence (NFC); case and whitespace count, ids, languages, service and date do not.
//
// For callers (history rows, the translator's favorite button):
//   if (store.isFavorite(item)) store.removeFavorite(item); else store.addFavorite(item);
// Every change emits favoritesChanged() after it took effect. Records read from the settings are
// written back as they were stored until the list is rewritten by a removal.
class FavoritesManager : public QObject {
    Q_OBJECT
public:
    static inline const QString userDefaultsKey = QStringLiteral("favoriteTranslations");

    // The one store of the application, created on first use; its list is read, decoded and indexed on
    // a thread of its own and handed over whole on a later turn of the event loop. Until then the model
    // is empty and loading, and no pair of texts is a favorite; a change, or a call to favorites(),
    // waits for the list.
    static FavoritesManager& shared();

    // A store of its own over the standard settings (tests, benchmarks); loads at once.
    explicit FavoritesManager(QObject* parent = nullptr);
    // One that loads as the shared store does.
    struct LoadInBackground {};
    explicit FavoritesManager(LoadInBackground);

    const QList<TranslationHistoryItem>& favorites() const {
        finishLoading();
        return m_model.items();
    }
    // The list as a model for views; change it only through this store.
    SavedTranslationsModel* model() { return &m_model; }
    bool isLoading() const { return m_loading.valid(); }

    static bool isSameTranslation(const TranslationHistoryItem& a, const TranslationHistoryItem& b) {
        return TranslationHistoryItem::isSameTranslation(a, b);
    }
    // Whether a saved record has the same pair of texts. Constant time; never waits for the list.
    bool isFavorite(const TranslationHistoryItem& item) const;
    bool isFavorite(const QString& sourceText, const QString& translatedText) const;
    // Whether such a pair is held but not known to be on the disk: its save has not finished, or
    // failed (the list is written again with the next change of any setting, and at quit).
    bool isUnsaved(const QString& sourceText, const QString& translatedText) const;

    // Puts the record (unchanged: same id and date) first unless the same favorite is saved already;
    // saves only when it added. Returns whether it added.
    bool addFavorite(const TranslationHistoryItem& item);
    // Removes every saved record with the same pair of texts, then saves.
    void removeFavorite(const TranslationHistoryItem& item);
    // Empties the list and saves "[]".
    void clearFavorites();
    void saveFavorites();
    // Replaces the list with the stored one (see SavedTranslationsStorage for unreadable values).
    void loadFavorites();

Q_SIGNALS:
    void favoritesChanged();
    // The list as last handed to the settings reached the disk (`saved`), or could not be written.
    void saveFinished(bool saved);

private:
    using Key = std::pair<QString, QString>;
    static Key keyOf(const QString& sourceText, const QString& translatedText);
    // Takes the list read in the background, waiting for it if need be.
    void finishLoading() const;
    // Hands the list's text to the settings and learns whether it was written.
    void store(std::shared_ptr<LazyText> text);
    void textSaved(const QString& key, const LazyText* text, bool saved);

    SavedTranslationsModel m_model;
    SavedTranslationsStorage m_storage{userDefaultsKey};
    // How many saved records each NFC pair of texts has.
    QHash<Key, int> m_counts;
    // The stored JSON text while it holds exactly the list, so that an addition only puts one record
    // in front of it; null when it must be encoded afresh.
    std::shared_ptr<LazyText> m_stored;
    // Where in it the first record begins.
    qsizetype m_listStart = -1;
    // Pairs added since the list was last known to be on the disk.
    QSet<Key> m_unsaved;
    QPointer<UserDefaults> m_watched;
    mutable std::future<SavedTranslationsStorage::Read> m_loading;
};

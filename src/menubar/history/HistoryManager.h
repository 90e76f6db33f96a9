#pragma once

#include "menubar/history/SavedTranslationsModel.h"
#include "menubar/history/SavedTranslationsStorage.h"
#include "menubar/history/TranslationHistoryItem.h"

#include <QHash>
#include <QObject>
#include <future>

// The translation history: the 20 newest menu-bar translations, newest first, written whole under
// "translationHistory" after every change and read once at creation.
class HistoryManager : public QObject {
    Q_OBJECT
public:
    static constexpr int maxHistoryItems = 20;
    static inline const QString userDefaultsKey = QStringLiteral("translationHistory");

    // The one store of the application, created on first use (the first translation); its list is read
    // and decoded on a thread of its own, since another program may have left a long one. Additions made
    // meanwhile are recorded when the list is there, on a later turn of the event loop; until then the
    // model is empty and loading. A call to translations() or a clearing waits for the list.
    static HistoryManager& shared();

    // A store of its own over the standard settings (tests); loads at once.
    explicit HistoryManager(QObject* parent = nullptr);
    // One that loads as the shared store does.
    struct LoadInBackground {};
    explicit HistoryManager(LoadInBackground);

    const QList<TranslationHistoryItem>& translations() const {
        finishLoading();
        return m_model.items();
    }
    // The list as a model for views; change it only through this store.
    SavedTranslationsModel* model() { return &m_model; }
    bool isLoading() const { return m_loading.valid(); }

    // Records a translation as the newest entry. An entry with the same pair of texts (under canonical
    // equivalence) is replaced; beyond the limit the oldest entry goes. Saves.
    void addTranslation(const QString& sourceText, const QString& translatedText,
                        const Language& sourceLanguage, const Language& targetLanguage,
                        TranslationService service);
    // Empties the list and saves "[]".
    void clearHistory();
    void saveHistory();
    // Replaces the list with the stored one (see SavedTranslationsStorage for unreadable values).
    void loadHistory();

Q_SIGNALS:
    void translationsChanged();

private:
    using Key = TranslationHistoryItem::Pair;
    // Takes the list read in the background, waiting for it if need be, and records what was added
    // meanwhile.
    void finishLoading() const;
    void add(const TranslationHistoryItem& item);

    SavedTranslationsModel m_model;
    SavedTranslationsStorage m_storage{userDefaultsKey};
    // How many records each NFC pair of texts has, so that an addition to a long list need not compare
    // it with every record.
    QHash<Key, int> m_counts;
    // Translations made while the list was being read, oldest first.
    QList<TranslationHistoryItem> m_added;
    mutable std::future<SavedTranslationsStorage::Read> m_loading;
};

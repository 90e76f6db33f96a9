#include "menubar/history/FavoritesManager.h"

#include "platform/UserDefaults.h"


#include <algorithm>

namespace {

// Where a record put in front of the stored list goes: after its "[" (behind a byte-order mark or spaces
// another program may have left).
qsizetype listStart(const QByteArray& stored) {
    const qsizetype open = stored.indexOf('[');
    return open < 0 ? -1 : open + 1;
}

} // namespace

FavoritesManager& FavoritesManager::shared() {
    static FavoritesManager* instance = new FavoritesManager(LoadInBackground{});
    return *instance;
}

FavoritesManager::FavoritesManager(QObject* parent)
    : QObject(parent) {
    loadFavorites();
}

// Thousands of favorites take longer to read, decode and index than a start or a click may: that happens
// beside the main thread, which takes the result whole on its next turn (or at once when a change needs
// it first).
FavoritesManager::FavoritesManager(LoadInBackground) {
    m_loading = m_storage.readInBackground(this, [this] { finishLoading(); });
    m_model.setLoading(m_loading.valid());
}

void FavoritesManager::finishLoading() const {
    if (!m_loading.valid())
        return;
    SavedTranslationsStorage::Read loaded = m_loading.get();
    auto* self = const_cast<FavoritesManager*>(this);
    self->m_model.setLoading(false);
    QByteArray stored;
    self->m_model.setItems(m_storage.loadDecoded(loaded.bytes, std::move(loaded.decoded), &stored));
    self->m_counts = m_model.items().isEmpty() ? QHash<Key, int>() : std::move(loaded.counts);
    self->m_stored = stored.isEmpty() ? nullptr : LazyText::of(stored);
    self->m_listStart = listStart(stored);
    Q_EMIT self->favoritesChanged();
}

FavoritesManager::Key FavoritesManager::keyOf(const QString& sourceText, const QString& translatedText) {
    return TranslationHistoryItem::canonicalPair(sourceText, translatedText);
}

bool FavoritesManager::isFavorite(const TranslationHistoryItem& item) const {
    return isFavorite(item.sourceText, item.translatedText);
}

bool FavoritesManager::isFavorite(const QString& sourceText, const QString& translatedText) const {
    return m_counts.contains(keyOf(sourceText, translatedText));
}

bool FavoritesManager::isUnsaved(const QString& sourceText, const QString& translatedText) const {
    return !m_unsaved.isEmpty() && m_unsaved.contains(keyOf(sourceText, translatedText));
}

bool FavoritesManager::addFavorite(const TranslationHistoryItem& item) {
    finishLoading();
    const Key key = keyOf(item.sourceText, item.translatedText);
    if (m_counts.contains(key))
        return false;
    const bool wasEmpty = m_model.items().isEmpty();
    m_model.insertFront(item);
    m_counts.insert(key, 1);
    m_unsaved.insert(key);
    if (!m_stored || m_listStart < 0) {
        saveFavorites();
    } else {
        // One record in front of the stored text: the settings write only that, not the whole list.
        QByteArray record = TranslationHistoryItem::encodeList({item}).sliced(1).chopped(1);
        if (!wasEmpty)
            record += ',';
        store(LazyText::spliced(m_stored, {m_listStart, 0, record}));
    }
    Q_EMIT favoritesChanged();
    return true;
}

void FavoritesManager::removeFavorite(const TranslationHistoryItem& item) {
    finishLoading();
    const Key key = keyOf(item.sourceText, item.translatedText);
    m_unsaved.remove(key);
    if (const int saved = m_counts.take(key); saved > 0) {
        // Comparing under NFC costs far more on a long list; the texts as given match in the usual case.
        const auto sameTexts = [&](const TranslationHistoryItem& other) {
            return other.sourceText == item.sourceText && other.translatedText == item.translatedText;
        };
        const QList<TranslationHistoryItem>& items = m_model.items();
        // One record saved as given, most often the one just added at the front: no walk over the rest.
        if (const auto found = std::find_if(items.cbegin(), items.cend(), sameTexts);
            saved == 1 && found != items.cend()) {
            m_model.removeAt(int(found - items.cbegin()));
        } else if (std::count_if(items.cbegin(), items.cend(), sameTexts) == saved) {
            m_model.removeIf(sameTexts);
        } else {
            m_model.removeIf([&](const TranslationHistoryItem& other) {
                return keyOf(other.sourceText, other.translatedText) == key;
            });
        }
    }
    saveFavorites();
    Q_EMIT favoritesChanged();
}

void FavoritesManager::clearFavorites() {
    finishLoading();
    m_model.setItems({});
    m_counts.clear();
    m_unsaved.clear();
    saveFavorites();
    Q_EMIT favoritesChanged();
}

void FavoritesManager::saveFavorites() {
    finishLoading();
    // Encoding a long list takes a while: the settings writer does it.
    store(std::make_shared<LazyText>(
        [items = m_model.items()] { return TranslationHistoryItem::encodeList(items); }));
    m_listStart = 1;
}

void FavoritesManager::store(std::shared_ptr<LazyText> text) {
    // The standard settings are replaced in tests.
    if (UserDefaults* defaults = &UserDefaults::standard(); m_watched != defaults) {
        m_watched = defaults;
        connect(defaults, &UserDefaults::textSaved, this, &FavoritesManager::textSaved);
    }
    m_stored = std::move(text);
    m_storage.saveText(m_stored);
}

void FavoritesManager::textSaved(const QString& key, const LazyText* text, bool saved) {
    // Only the last list handed over tells what is on the disk now.
    if (key != userDefaultsKey || text != m_stored.get())
        return;
    if (saved)
        m_unsaved.clear();
    Q_EMIT saveFinished(saved);
}

void FavoritesManager::loadFavorites() {
    // A read still running would otherwise land over this one.
    if (m_loading.valid())
        m_loading.wait();
    m_loading = {};
    m_model.setLoading(false);
    QByteArray stored;
    m_model.setItems(m_storage.load(&stored));
    m_stored = stored.isEmpty() ? nullptr : LazyText::of(stored);
    m_listStart = listStart(stored);
    m_counts = SavedTranslationsStorage::countPairs(m_model.items());
    m_unsaved.clear();
    Q_EMIT favoritesChanged();
}

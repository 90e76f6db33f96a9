#include "menubar/history/HistoryManager.h"

#include "platform/UserDefaults.h"


#include <algorithm>

HistoryManager& HistoryManager::shared() {
    static HistoryManager* instance = new HistoryManager(LoadInBackground{});
    return *instance;
}

HistoryManager::HistoryManager(QObject* parent)
    : QObject(parent) {
    loadHistory();
}

HistoryManager::HistoryManager(LoadInBackground) {
    m_loading = m_storage.readInBackground(this, [this] { finishLoading(); });
    m_model.setLoading(m_loading.valid());
}

void HistoryManager::finishLoading() const {
    if (!m_loading.valid())
        return;
    SavedTranslationsStorage::Read loaded = m_loading.get();
    auto* self = const_cast<HistoryManager*>(this);
    self->m_model.setLoading(false);
    self->m_model.setItems(m_storage.loadDecoded(loaded.bytes, std::move(loaded.decoded)));
    self->m_counts = m_model.items().isEmpty() ? QHash<Key, int>() : std::move(loaded.counts);
    const QList<TranslationHistoryItem> added = std::exchange(self->m_added, {});
    for (const TranslationHistoryItem& item : added)
        self->add(item);
    if (!added.isEmpty())
        self->saveHistory();
    Q_EMIT self->translationsChanged();
}

void HistoryManager::addTranslation(const QString& sourceText, const QString& translatedText,
                                    const Language& sourceLanguage, const Language& targetLanguage,
                                    TranslationService service) {
    const auto item =
        TranslationHistoryItem::make(sourceText, translatedText, sourceLanguage, targetLanguage, service);
    if (m_loading.valid()) {
        m_added.append(item);
        return;
    }
    add(item);
    saveHistory();
    Q_EMIT translationsChanged();
}

void HistoryManager::add(const TranslationHistoryItem& item) {
    const Key key = TranslationHistoryItem::canonicalPair(item.sourceText, item.translatedText);
    if (const int held = m_counts.take(key); held > 0) {
        // Comparing under NFC costs far more on a long list; the texts as given match in the usual case.
        const auto sameTexts = [&](const TranslationHistoryItem& other) {
            return other.sourceText == item.sourceText && other.translatedText == item.translatedText;
        };
        const QList<TranslationHistoryItem>& items = m_model.items();
        if (std::count_if(items.cbegin(), items.cend(), sameTexts) == held) {
            m_model.removeIf(sameTexts);
        } else {
            m_model.removeIf([&](const TranslationHistoryItem& other) {
                return TranslationHistoryItem::canonicalPair(other.sourceText, other.translatedText) == key;
            });
        }
    }
    m_model.insertFront(item);
    m_counts.insert(key, 1);
    // One at a time: a longer list written by someone else shrinks by one per addition.
    if (m_model.items().size() > maxHistoryItems) {
        const TranslationHistoryItem& last = m_model.items().last();
        const Key lastKey = TranslationHistoryItem::canonicalPair(last.sourceText, last.translatedText);
        if (--m_counts[lastKey] <= 0)
            m_counts.remove(lastKey);
        m_model.removeLast();
    }
}

void HistoryManager::clearHistory() {
    finishLoading();
    m_model.setItems({});
    m_counts.clear();
    saveHistory();
    Q_EMIT translationsChanged();
}

void HistoryManager::saveHistory() {
    finishLoading();
    // A list another program made long takes a while to encode: the settings writer does it.
    m_storage.saveText(std::make_shared<LazyText>(
        [items = m_model.items()] { return TranslationHistoryItem::encodeList(items); }));
}

void HistoryManager::loadHistory() {
    finishLoading();
    m_model.setItems(m_storage.load());
    m_counts = SavedTranslationsStorage::countPairs(m_model.items());
    Q_EMIT translationsChanged();
}

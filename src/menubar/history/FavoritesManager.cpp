#include "menubar/history/FavoritesManager.h"

FavoritesManager& FavoritesManager::shared() {
    static FavoritesManager* instance = new FavoritesManager;
    return *instance;
}

FavoritesManager::FavoritesManager(QObject* parent)
    : QObject(parent) {
    loadFavorites();
}

FavoritesManager::Key FavoritesManager::keyOf(const QString& sourceText, const QString& translatedText) {
    return {sourceText.normalized(QString::NormalizationForm_C),
            translatedText.normalized(QString::NormalizationForm_C)};
}

bool FavoritesManager::isFavorite(const TranslationHistoryItem& item) const {
    return isFavorite(item.sourceText, item.translatedText);
}

bool FavoritesManager::isFavorite(const QString& sourceText, const QString& translatedText) const {
    return m_counts.contains(keyOf(sourceText, translatedText));
}

bool FavoritesManager::addFavorite(const TranslationHistoryItem& item) {
    const Key key = keyOf(item.sourceText, item.translatedText);
    if (m_counts.contains(key))
        return false;
    m_model.insertFront(item);
    m_counts.insert(key, 1);
    const qsizetype open = m_storedText.indexOf('[');
    if (open < 0) {
        saveFavorites();
    } else {
        QByteArray record = TranslationHistoryItem::encodeList({item});
        QByteArray rest = m_storedText.sliced(open + 1).trimmed();
        record.chop(1);
        record += rest.startsWith(']') ? QByteArrayView("]") : QByteArrayView(",");
        m_storedText = record + (rest.startsWith(']') ? QByteArray() : rest);
        m_storage.saveEncoded(m_storedText);
    }
    Q_EMIT favoritesChanged();
    return true;
}

void FavoritesManager::removeFavorite(const TranslationHistoryItem& item) {
    const Key key = keyOf(item.sourceText, item.translatedText);
    if (m_counts.remove(key)) {
        m_model.removeIf([&](const TranslationHistoryItem& other) {
            return keyOf(other.sourceText, other.translatedText) == key;
        });
    }
    saveFavorites();
    Q_EMIT favoritesChanged();
}

void FavoritesManager::clearFavorites() {
    m_model.setItems({});
    m_counts.clear();
    saveFavorites();
    Q_EMIT favoritesChanged();
}

void FavoritesManager::saveFavorites() {
    m_storedText = TranslationHistoryItem::encodeList(m_model.items());
    m_storage.saveEncoded(m_storedText);
}

void FavoritesManager::loadFavorites() {
    m_model.setItems(m_storage.load(&m_storedText));
    rebuildIndex();
    Q_EMIT favoritesChanged();
}

void FavoritesManager::rebuildIndex() {
    m_counts.clear();
    m_counts.reserve(m_model.rowCount());
    for (const TranslationHistoryItem& item : m_model.items())
        ++m_counts[keyOf(item.sourceText, item.translatedText)];
}

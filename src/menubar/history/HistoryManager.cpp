#include "menubar/history/HistoryManager.h"

HistoryManager& HistoryManager::shared() {
    static HistoryManager* instance = new HistoryManager;
    return *instance;
}

HistoryManager::HistoryManager(QObject* parent)
    : QObject(parent) {
    loadHistory();
}

void HistoryManager::addTranslation(const QString& sourceText, const QString& translatedText,
                                    const Language& sourceLanguage, const Language& targetLanguage,
                                    TranslationService service) {
    const auto item =
        TranslationHistoryItem::make(sourceText, translatedText, sourceLanguage, targetLanguage, service);
    m_model.removeIf([&](const TranslationHistoryItem& other) {
        return TranslationHistoryItem::isSameTranslation(item, other);
    });
    m_model.insertFront(item);
    // One at a time: a longer list written by someone else shrinks by one per addition.
    if (m_model.items().size() > maxHistoryItems)
        m_model.removeLast();
    saveHistory();
    Q_EMIT translationsChanged();
}

void HistoryManager::clearHistory() {
    m_model.setItems({});
    saveHistory();
    Q_EMIT translationsChanged();
}

void HistoryManager::saveHistory() {
    m_storage.save(m_model.items());
}

void HistoryManager::loadHistory() {
    m_model.setItems(m_storage.load());
    Q_EMIT translationsChanged();
}

#pragma once

#include "menubar/history/SavedTranslationsModel.h"
#include "menubar/history/SavedTranslationsStorage.h"
#include "menubar/history/TranslationHistoryItem.h"

#include <QObject>

// The translation history: the 20 newest menu-bar translations, newest first, written whole under
// "translationHistory" after every change and read once at creation.
class HistoryManager : public QObject {
    Q_OBJECT
public:
    static constexpr int maxHistoryItems = 20;
    static inline const QString userDefaultsKey = QStringLiteral("translationHistory");

    // The one store of the application, created (and loaded) on first use.
    static HistoryManager& shared();

    // A store of its own over the standard settings (tests); loads at once.
    explicit HistoryManager(QObject* parent = nullptr);

    const QList<TranslationHistoryItem>& translations() const { return m_model.items(); }
    // The list as a model for views; change it only through this store.
    SavedTranslationsModel* model() { return &m_model; }

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
    SavedTranslationsModel m_model;
    SavedTranslationsStorage m_storage{userDefaultsKey};
};

#pragma once

#include "menubar/history/TranslationHistoryItem.h"

#include <QList>
#include <QString>
#include <memory>

class LazyText;

// Reads and writes one stored list of records under a settings key. A stored value that is unreadable,
// or holds records that do not decode, is copied aside under "<key>.unreadable-<UTC time>" before
// anything can replace it, so the next save never destroys what could not be read.
class SavedTranslationsStorage {
public:
    explicit SavedTranslationsStorage(QString key)
        : m_key(std::move(key)) {}

    QString key() const { return m_key; }

    // The records that decode, in stored order; empty when nothing is stored. With `text`, also the
    // stored JSON text when every record in it decoded (so it holds exactly the list), else nothing.
    QList<TranslationHistoryItem> load(QByteArray* text = nullptr) const;
    // The same for the stored bytes and what they decoded to elsewhere.
    QList<TranslationHistoryItem> loadDecoded(const QByteArray& bytes, TranslationHistoryItem::Decoded decoded,
                                              QByteArray* text = nullptr) const;
    // Writes the whole list as a JSON string value.
    void save(const QList<TranslationHistoryItem>& items) const;
    // Writes bytes that already hold the encoded list.
    void saveEncoded(const QByteArray& json) const;
    // Writes the encoded list once it is made (on the settings writer's thread if none asks before).
    void saveText(std::shared_ptr<LazyText> json) const;

    // Where the last load put an unreadable value aside; empty when it had no need to.
    QString lastBackupKey() const { return m_lastBackupKey; }

private:
    void backUp(const QString& reason) const;

    QString m_key;
    mutable QString m_lastBackupKey;
};

#pragma once

#include "menubar/history/TranslationHistoryItem.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <future>
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

    // The stored list as read, decoded and indexed beside the main thread.
    using Pair = TranslationHistoryItem::Pair;
    struct Read {
        QByteArray bytes;
        TranslationHistoryItem::Decoded decoded;
        // How many records each NFC pair of texts has.
        QHash<Pair, int> counts;
    };
    // Reads the stored list on a thread of its own, since another program may have left a long one, and
    // queues `arrived` to `receiver`, which takes the result with loadDecoded(); `arrived` runs at the
    // application's quit too, and must then wait for the result. An invalid future when nothing is stored.
    std::future<Read> readInBackground(QObject* receiver, std::function<void()> arrived) const;
    static QHash<Pair, int> countPairs(const QList<TranslationHistoryItem>& items);

    // Where the last load put an unreadable value aside; empty when it had no need to.
    QString lastBackupKey() const { return m_lastBackupKey; }

private:
    void backUp(const QString& reason) const;

    QString m_key;
    mutable QString m_lastBackupKey;
};

#include "menubar/history/SavedTranslationsStorage.h"

#include "platform/DebugLog.h"
#include "platform/ThreadPriority.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QDateTime>

QList<TranslationHistoryItem> SavedTranslationsStorage::load(QByteArray* text) const {
    m_lastBackupKey.clear();
    if (text)
        text->clear();
    UserDefaults& defaults = UserDefaults::standard();
    if (!defaults.contains(m_key))
        return {};
    const QByteArray bytes = defaults.data(m_key);
    return loadDecoded(bytes, TranslationHistoryItem::decodeList(bytes), text);
}

QList<TranslationHistoryItem> SavedTranslationsStorage::loadDecoded(const QByteArray& bytes,
                                                                    TranslationHistoryItem::Decoded decoded,
                                                                    QByteArray* text) const {
    m_lastBackupKey.clear();
    if (text)
        text->clear();
    UserDefaults& defaults = UserDefaults::standard();
    if (!decoded.readable) {
        if (!bytes.isEmpty() || defaults.object(m_key).typeId() != QMetaType::QString)
            backUp(QStringLiteral("the stored value is no JSON array"));
        return {};
    }
    if (decoded.skipped > 0)
        backUp(QStringLiteral("%1 stored record(s) could not be read").arg(decoded.skipped));
    else if (text)
        *text = bytes;
    return decoded.items;
}

std::future<SavedTranslationsStorage::Read>
SavedTranslationsStorage::readInBackground(QObject* receiver, std::function<void()> arrived) const {
    const std::shared_ptr<LazyText> stored = UserDefaults::standard().text(m_key);
    if (!stored)
        return {};
    // The thread ends, and the receiver has taken what it read, before the process ends.
    if (QCoreApplication::instance())
        QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, receiver, arrived);
    return std::async(std::launch::async, [receiver, arrived = std::move(arrived), stored] {
        // On a busy machine the start would otherwise share its slice of the processor with this.
        lowerCurrentThreadPriority();
        Read read;
        read.bytes = stored->utf8();
        read.decoded = TranslationHistoryItem::decodeList(read.bytes);
        read.counts = countPairs(read.decoded.items);
        // An addition puts its record in front of all the others: the room for it is made here, once,
        // rather than by moving every record on the UI thread at the first one.
        if (QList<TranslationHistoryItem>& items = read.decoded.items; !items.isEmpty()) {
            const TranslationHistoryItem first = items.first();
            items.prepend(first);
            items.removeFirst();
        }
        QMetaObject::invokeMethod(receiver, arrived, Qt::QueuedConnection);
        return read;
    });
}

QHash<SavedTranslationsStorage::Pair, int>
SavedTranslationsStorage::countPairs(const QList<TranslationHistoryItem>& items) {
    QHash<Pair, int> counts;
    counts.reserve(items.size());
    for (const TranslationHistoryItem& item : items)
        ++counts[TranslationHistoryItem::canonicalPair(item.sourceText, item.translatedText)];
    return counts;
}

void SavedTranslationsStorage::save(const QList<TranslationHistoryItem>& items) const {
    saveEncoded(TranslationHistoryItem::encodeList(items));
}

void SavedTranslationsStorage::saveEncoded(const QByteArray& json) const {
    saveText(LazyText::of(json));
}

void SavedTranslationsStorage::saveText(std::shared_ptr<LazyText> json) const {
    UserDefaults::standard().setText(m_key, std::move(json));
}

void SavedTranslationsStorage::backUp(const QString& reason) const {
    UserDefaults& defaults = UserDefaults::standard();
    const QVariant value = defaults.object(m_key);
    const QString prefix = m_key + QStringLiteral(".unreadable-");
    // The value stays stored until the next save, so every start would otherwise add another copy.
    for (const QString& key : defaults.allKeys()) {
        if (key.startsWith(prefix) && defaults.object(key) == value) {
            m_lastBackupKey = key;
            return;
        }
    }
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddhhmmsszzz"));
    QString backupKey = prefix + stamp;
    for (int n = 2; defaults.contains(backupKey); ++n)
        backupKey = prefix + stamp + QLatin1Char('-') + QString::number(n);
    defaults.set(backupKey, value);
    m_lastBackupKey = backupKey;
    debugLog(QStringLiteral("SavedTranslations"),
             QStringLiteral("⚠️ %1 under %2; kept a copy under %3").arg(reason, m_key, backupKey));
}

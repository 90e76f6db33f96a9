#include "menubar/history/SavedTranslationsStorage.h"

#include "platform/DebugLog.h"
#include "platform/UserDefaults.h"

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

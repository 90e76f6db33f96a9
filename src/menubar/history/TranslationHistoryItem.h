#pragma once

#include "services/Language.h"
#include "services/TranslationService.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUuid>
#include <QVariantMap>
#include <optional>
#include <utility>

// One saved translation, kept by the history and by the favorites.
//
// Stored form, shared by "translationHistory" and "favoriteTranslations": a compact UTF-8 JSON array of
// objects with exactly the members "id" (upper-case 8-4-4-4-12 UUID text), "sourceText",
// "translatedText", "sourceLanguageCode", "targetLanguageCode", "serviceRawValue" (strings) and "date"
// (number: seconds since 2001-01-01 00:00:00 UTC, with fraction). Only language codes are stored.
struct TranslationHistoryItem {
    QUuid id;
    QString sourceText;
    QString translatedText;
    Language sourceLanguage;
    Language targetLanguage;
    TranslationService service = TranslationService::Google;
    // Seconds since 2001-01-01 00:00:00 UTC, kept as stored so a rewrite changes nothing.
    double date = 0;

    // 2001-01-01 00:00:00 UTC in seconds since the Unix epoch.
    static constexpr qint64 referenceDateOffset = 978307200;

    // A new record with a fresh random id and the current time.
    static TranslationHistoryItem make(const QString& sourceText, const QString& translatedText,
                                       const Language& sourceLanguage, const Language& targetLanguage,
                                       TranslationService service);

    // Records are the same record when their ids are; see isSameTranslation() for equal contents.
    bool operator==(const TranslationHistoryItem& other) const { return id == other.id; }

    // Same source text and same translated text under canonical equivalence (NFC on both sides);
    // case and whitespace count. Ids, languages, service and date are not compared.
    static bool isSameTranslation(const TranslationHistoryItem& a, const TranslationHistoryItem& b);
    // The two texts in NFC: equal exactly for records that are the same translation.
    using Pair = std::pair<QString, QString>;
    static Pair canonicalPair(const QString& sourceText, const QString& translatedText);

    QDateTime dateTime() const;
    static double referenceSeconds(const QDateTime& time);

    // The "LoadTranslation" payload: the texts, both codes and the service's raw value, all strings.
    QVariantMap loadTranslationUserInfo() const;

    QJsonObject toJson() const;
    // Nothing when a member is missing or of the wrong type, or "id" is no UUID text. An unknown source
    // code gives "Automatic"; an unknown target code gives English, since a target is never "auto".
    static std::optional<TranslationHistoryItem> fromJson(const QJsonObject& object);
    // The same from the members' values; an absent one is missing or of the wrong JSON type.
    static std::optional<TranslationHistoryItem>
    fromMembers(const std::optional<QString>& idText, const std::optional<QString>& source,
                const std::optional<QString>& translated, const std::optional<QString>& sourceCode,
                const std::optional<QString>& targetCode, const std::optional<QString>& service,
                std::optional<double> date);

    static QByteArray encodeList(const QList<TranslationHistoryItem>& items);

    struct Decoded {
        QList<TranslationHistoryItem> items;
        // False when the bytes are no JSON array at all.
        bool readable = false;
        // Array elements that were not a valid record and were left out.
        int skipped = 0;
    };
    // Decodes record by record: one bad record costs only itself.
    static Decoded decodeList(const QByteArray& bytes);
};

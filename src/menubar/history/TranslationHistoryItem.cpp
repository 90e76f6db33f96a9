#include "menubar/history/TranslationHistoryItem.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

const QString kId = QStringLiteral("id");
const QString kSourceText = QStringLiteral("sourceText");
const QString kTranslatedText = QStringLiteral("translatedText");
const QString kSourceLanguageCode = QStringLiteral("sourceLanguageCode");
const QString kTargetLanguageCode = QStringLiteral("targetLanguageCode");
const QString kServiceRawValue = QStringLiteral("serviceRawValue");
const QString kDate = QStringLiteral("date");

std::optional<QString> stringMember(const QJsonObject& object, const QString& key) {
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

// Only the 36-character hyphenated form; QUuid alone would also take braces.
std::optional<QUuid> uuidFrom(const QString& text) {
    if (text.size() != 36)
        return std::nullopt;
    const QUuid id = QUuid::fromString(text);
    if (id.isNull() && text != QStringLiteral("00000000-0000-0000-0000-000000000000"))
        return std::nullopt;
    return id;
}

} // namespace

TranslationHistoryItem TranslationHistoryItem::make(const QString& sourceText, const QString& translatedText,
                                                    const Language& sourceLanguage,
                                                    const Language& targetLanguage, TranslationService service) {
    return {QUuid::createUuid(), sourceText, translatedText, sourceLanguage, targetLanguage, service,
            referenceSeconds(QDateTime::currentDateTimeUtc())};
}

bool TranslationHistoryItem::isSameTranslation(const TranslationHistoryItem& a, const TranslationHistoryItem& b) {
    const auto same = [](const QString& x, const QString& y) {
        return x == y || x.normalized(QString::NormalizationForm_C) == y.normalized(QString::NormalizationForm_C);
    };
    return same(a.sourceText, b.sourceText) && same(a.translatedText, b.translatedText);
}

QDateTime TranslationHistoryItem::dateTime() const {
    return QDateTime::fromMSecsSinceEpoch(qint64((date + double(referenceDateOffset)) * 1000.0), Qt::UTC);
}

double TranslationHistoryItem::referenceSeconds(const QDateTime& time) {
    return double(time.toMSecsSinceEpoch()) / 1000.0 - double(referenceDateOffset);
}

QVariantMap TranslationHistoryItem::loadTranslationUserInfo() const {
    return {{QStringLiteral("sourceText"), sourceText},
            {QStringLiteral("translatedText"), translatedText},
            {QStringLiteral("sourceLanguageCode"), sourceLanguage.code},
            {QStringLiteral("targetLanguageCode"), targetLanguage.code},
            {QStringLiteral("serviceRawValue"), rawValue(service)}};
}

QJsonObject TranslationHistoryItem::toJson() const {
    return {{kId, id.toString(QUuid::WithoutBraces).toUpper()},
            {kSourceText, sourceText},
            {kTranslatedText, translatedText},
            {kSourceLanguageCode, sourceLanguage.code},
            {kTargetLanguageCode, targetLanguage.code},
            {kServiceRawValue, rawValue(service)},
            {kDate, date}};
}

std::optional<TranslationHistoryItem> TranslationHistoryItem::fromJson(const QJsonObject& object) {
    const auto idText = stringMember(object, kId);
    const auto source = stringMember(object, kSourceText);
    const auto translated = stringMember(object, kTranslatedText);
    const auto sourceCode = stringMember(object, kSourceLanguageCode);
    const auto targetCode = stringMember(object, kTargetLanguageCode);
    const auto service = stringMember(object, kServiceRawValue);
    const QJsonValue date = object.value(kDate);
    if (!idText || !source || !translated || !sourceCode || !targetCode || !service || !date.isDouble())
        return std::nullopt;
    const auto id = uuidFrom(*idText);
    if (!id)
        return std::nullopt;
    return TranslationHistoryItem{*id,
                                  *source,
                                  *translated,
                                  Language::find(*sourceCode),
                                  Language::findTarget(*targetCode),
                                  translationServiceOrDefault(*service),
                                  date.toDouble()};
}

QByteArray TranslationHistoryItem::encodeList(const QList<TranslationHistoryItem>& items) {
    QJsonArray array;
    for (const TranslationHistoryItem& item : items)
        array.append(item.toJson());
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

TranslationHistoryItem::Decoded TranslationHistoryItem::decodeList(const QByteArray& bytes) {
    Decoded result;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return result;
    result.readable = true;
    const QJsonArray array = document.array();
    result.items.reserve(array.size());
    for (const QJsonValue& value : array) {
        if (auto item = value.isObject() ? fromJson(value.toObject()) : std::nullopt)
            result.items.append(std::move(*item));
        else
            ++result.skipped;
    }
    return result;
}

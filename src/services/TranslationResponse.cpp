#include "services/TranslationResponse.h"

#include <QJsonArray>
#include <QJsonValue>

namespace {

// A list of texts; absent when the value is not an array or holds anything but texts.
std::optional<QStringList> stringList(const QJsonValue& value) {
    if (!value.isArray())
        return std::nullopt;
    const QJsonArray array = value.toArray();
    QStringList list;
    list.reserve(array.size());
    for (const QJsonValue& item : array) {
        if (!item.isString())
            return std::nullopt;
        list.append(item.toString());
    }
    return list;
}

std::optional<QString> optionalString(const QJsonValue& value) {
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

void insertList(QJsonObject& object, const QString& key, const std::optional<QStringList>& list) {
    if (list)
        object.insert(key, QJsonArray::fromStringList(*list));
}

} // namespace

std::optional<TranslationResponse::AlternativeTranslation>
TranslationResponse::AlternativeTranslation::fromJson(const QJsonObject& object) {
    const QJsonValue word = object.value(QStringLiteral("word"));
    const QJsonValue type = object.value(QStringLiteral("type"));
    const std::optional<QStringList> translations = stringList(object.value(QStringLiteral("translations")));
    if (!word.isString() || !type.isString() || !translations)
        return std::nullopt;
    AlternativeTranslation alternative{word.toString(), type.toString(), *translations, std::nullopt};
    const QJsonValue back = object.value(QStringLiteral("backTranslations"));
    if (back.isObject()) {
        QMap<QString, QStringList> map;
        const QJsonObject backObject = back.toObject();
        for (auto it = backObject.begin(); it != backObject.end(); ++it) {
            if (auto meanings = stringList(it.value()))
                map.insert(it.key(), *meanings);
        }
        alternative.backTranslations = map;
    }
    return alternative;
}

QJsonObject TranslationResponse::AlternativeTranslation::toJson() const {
    QJsonObject object{
        {QStringLiteral("word"), word},
        {QStringLiteral("type"), type},
        {QStringLiteral("translations"), QJsonArray::fromStringList(translations)},
    };
    if (backTranslations) {
        QJsonObject back;
        for (auto it = backTranslations->begin(); it != backTranslations->end(); ++it)
            back.insert(it.key(), QJsonArray::fromStringList(it.value()));
        object.insert(QStringLiteral("backTranslations"), back);
    }
    return object;
}

std::optional<TranslationResponse> TranslationResponse::fromJson(const QJsonObject& object) {
    const QJsonValue translation = object.value(QStringLiteral("translation"));
    if (!translation.isString())
        return std::nullopt;
    TranslationResponse response;
    response.translation = translation.toString();
    response.sourceText = optionalString(object.value(QStringLiteral("sourceText")));
    const QJsonValue alternatives = object.value(QStringLiteral("alternativeTranslations"));
    if (alternatives.isArray()) {
        QList<AlternativeTranslation> list;
        for (const QJsonValue& item : alternatives.toArray()) {
            if (auto alternative = AlternativeTranslation::fromJson(item.toObject()))
                list.append(*alternative);
        }
        response.alternativeTranslations = list;
    }
    response.exampleSentences = stringList(object.value(QStringLiteral("exampleSentences")));
    response.phonetic = optionalString(object.value(QStringLiteral("phonetic")));
    response.corrections = stringList(object.value(QStringLiteral("corrections")));
    response.polysemy = stringList(object.value(QStringLiteral("polysemy")));
    return response;
}

QJsonObject TranslationResponse::toJson() const {
    QJsonObject object{{QStringLiteral("translation"), translation}};
    if (sourceText)
        object.insert(QStringLiteral("sourceText"), *sourceText);
    if (alternativeTranslations) {
        QJsonArray array;
        for (const AlternativeTranslation& alternative : *alternativeTranslations)
            array.append(alternative.toJson());
        object.insert(QStringLiteral("alternativeTranslations"), array);
    }
    insertList(object, QStringLiteral("exampleSentences"), exampleSentences);
    if (phonetic)
        object.insert(QStringLiteral("phonetic"), *phonetic);
    insertList(object, QStringLiteral("corrections"), corrections);
    insertList(object, QStringLiteral("polysemy"), polysemy);
    return object;
}

#pragma once

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

// The answer of a translate call. Only "translation" is required; the other fields are present when the
// provider has them (single words mostly).
struct TranslationResponse {
    // One group of alternatives sharing a part of speech.
    struct AlternativeTranslation {
        QString word;
        QString type; // part of speech, e.g. "noun"
        QStringList translations;
        // From one of the translations to its meanings back in the source language.
        std::optional<QMap<QString, QStringList>> backTranslations;

        QString id() const { return word + QLatin1Char('_') + type; }

        // Needs "word", "type" and "translations"; absent when one of them is missing or mistyped.
        static std::optional<AlternativeTranslation> fromJson(const QJsonObject& object);
        QJsonObject toJson() const;

        bool operator==(const AlternativeTranslation& other) const = default;
    };

    QString translation;
    std::optional<QString> sourceText;
    std::optional<QList<AlternativeTranslation>> alternativeTranslations;
    std::optional<QStringList> exampleSentences;
    std::optional<QString> phonetic;
    std::optional<QStringList> corrections;
    std::optional<QStringList> polysemy;

    // Absent when "translation" is missing or not text. Optional fields that are null or mistyped are
    // left out rather than failing the whole answer, and so are malformed alternative groups.
    static std::optional<TranslationResponse> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;

    bool operator==(const TranslationResponse& other) const = default;
};

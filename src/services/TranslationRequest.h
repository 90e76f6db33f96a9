#pragma once

#include <QJsonObject>
#include <QString>

// The body of a translate call before the envelope is added.
struct TranslationRequest {
    QString text;
    QString sourceLanguage; // "auto" allowed
    QString targetLanguage;

    // Keys "text", "source_language", "target_language".
    QJsonObject toJson() const;

    bool operator==(const TranslationRequest& other) const = default;
};

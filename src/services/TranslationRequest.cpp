#include "services/TranslationRequest.h"

QJsonObject TranslationRequest::toJson() const {
    return QJsonObject{
        {QStringLiteral("text"), text},
        {QStringLiteral("source_language"), sourceLanguage},
        {QStringLiteral("target_language"), targetLanguage},
    };
}

#include "services/TranslationService.h"

const QList<TranslationService>& allTranslationServices() {
    static const QList<TranslationService> all = {TranslationService::Google, TranslationService::ChatGPT,
                                                  TranslationService::Gemini, TranslationService::DeepL};
    return all;
}

QString rawValue(TranslationService service) {
    switch (service) {
    case TranslationService::Google:
        return QStringLiteral("google");
    case TranslationService::ChatGPT:
        return QStringLiteral("chatgpt");
    case TranslationService::Gemini:
        return QStringLiteral("gemini");
    case TranslationService::DeepL:
        return QStringLiteral("deepl");
    }
    return QStringLiteral("google");
}

QString displayName(TranslationService service) {
    switch (service) {
    case TranslationService::Google:
        return QStringLiteral("Google");
    case TranslationService::ChatGPT:
        return QStringLiteral("ChatGPT");
    case TranslationService::Gemini:
        return QStringLiteral("Gemini");
    case TranslationService::DeepL:
        return QStringLiteral("DeepL");
    }
    return QStringLiteral("Google");
}

std::optional<TranslationService> translationServiceFromRawValue(const QString& raw) {
    for (TranslationService service : allTranslationServices()) {
        if (rawValue(service) == raw)
            return service;
    }
    return std::nullopt;
}

TranslationService translationServiceOrDefault(const QString& raw) {
    return translationServiceFromRawValue(raw).value_or(TranslationService::Google);
}

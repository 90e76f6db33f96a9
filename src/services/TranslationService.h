#pragma once

#include <QList>
#include <QString>
#include <optional>

// The provider that translates. Raw values "google", "chatgpt", "gemini", "deepl" go on the wire and
// into the settings.
enum class TranslationService { Google, ChatGPT, Gemini, DeepL };

// In declaration order.
const QList<TranslationService>& allTranslationServices();
QString rawValue(TranslationService service);
// "Google", "ChatGPT", "Gemini", "DeepL".
QString displayName(TranslationService service);
// No value for any text that is not exactly one of the raw values.
std::optional<TranslationService> translationServiceFromRawValue(const QString& raw);
// Google for missing or unknown raw values, as every stored choice is read.
TranslationService translationServiceOrDefault(const QString& raw);

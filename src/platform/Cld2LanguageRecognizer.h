#pragma once

#include "platform/LanguageRecognizer.h"

// The dominant language through CLD2. Empty when CLD2 finds none or is not sure.
class Cld2LanguageRecognizer : public LanguageRecognizer {
public:
    QString dominantLanguage(const QString& text) const override;
};

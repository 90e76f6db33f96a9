#pragma once

#include "platform/LanguageRecognizer.h"

// The dominant language through CLD2: its best answer, even where it is unsure. Empty when it has none.
class Cld2LanguageRecognizer : public LanguageRecognizer {
public:
    QString dominantLanguage(const QString& text, const QStringList& hints) const override;
};

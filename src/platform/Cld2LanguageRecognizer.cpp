#include "platform/Cld2LanguageRecognizer.h"

#include <cld2/public/compact_lang_det.h>

QString Cld2LanguageRecognizer::dominantLanguage(const QString& text) const {
    if (text.trimmed().isEmpty())
        return {};
    const QByteArray utf8 = text.toUtf8();
    bool reliable = false;
    int validPrefixBytes = 0;
    const CLD2::Language language =
        CLD2::DetectLanguageCheckUTF8(utf8.constData(), int(utf8.size()), true, &reliable, &validPrefixBytes);
    if (!reliable || language == CLD2::UNKNOWN_LANGUAGE || language == CLD2::TG_UNKNOWN_LANGUAGE)
        return {};
    return QString::fromLatin1(CLD2::LanguageCode(language));
}

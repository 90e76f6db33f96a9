#include "platform/Cld2LanguageRecognizer.h"

#include <cld2/public/compact_lang_det.h>
#include <cld2/public/encodings.h>

QString Cld2LanguageRecognizer::dominantLanguage(const QString& text, const QStringList& hints) const {
    if (text.trimmed().isEmpty())
        return {};
    const QByteArray utf8 = text.toUtf8();
    const QByteArray hintList = hints.join(QLatin1Char(',')).toLatin1();
    CLD2::CLDHints cldHints{hintList.isEmpty() ? nullptr : hintList.constData(), nullptr,
                            CLD2::UNKNOWN_ENCODING, CLD2::UNKNOWN_LANGUAGE};
    if (!hints.isEmpty())
        cldHints.language_hint = CLD2::GetLanguageFromName(hints.first().toLatin1().constData());
    CLD2::Language top3[3];
    int percent3[3];
    double scores3[3];
    int textBytes = 0;
    bool reliable = false;
    int validPrefixBytes = 0;
    // Without best effort CLD2 answers nothing for the few letters of a word; unreliable answers are
    // still its best guess, which the hints have already steered.
    const CLD2::Language language = CLD2::ExtDetectLanguageSummaryCheckUTF8(
        utf8.constData(), int(utf8.size()), true, &cldHints, CLD2::kCLDFlagBestEffort, top3, percent3,
        scores3, nullptr, &textBytes, &reliable, &validPrefixBytes);
    if (language == CLD2::UNKNOWN_LANGUAGE || language == CLD2::TG_UNKNOWN_LANGUAGE)
        return {};
    return QString::fromLatin1(CLD2::LanguageCode(language));
}

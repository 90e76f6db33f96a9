#include "platform/cld2/Cld2LanguageRecognizer.h"

#include <cld2/public/compact_lang_det.h>
#include <cld2/public/encodings.h>

namespace {

CLD2::Language detect(const QByteArray& utf8, const CLD2::CLDHints& hints) {
    CLD2::Language top3[3];
    int percent3[3];
    double scores3[3];
    int textBytes = 0;
    bool reliable = false;
    int validPrefixBytes = 0;
    // Without best effort CLD2 answers nothing for the few letters of a word; its unsure answer is still
    // its best guess.
    return CLD2::ExtDetectLanguageSummaryCheckUTF8(utf8.constData(), int(utf8.size()), true, &hints,
                                                   CLD2::kCLDFlagBestEffort, top3, percent3, scores3, nullptr,
                                                   &textBytes, &reliable, &validPrefixBytes);
}

bool isKnown(CLD2::Language language) {
    return language != CLD2::UNKNOWN_LANGUAGE && language != CLD2::TG_UNKNOWN_LANGUAGE;
}

} // namespace

QString Cld2LanguageRecognizer::dominantLanguage(const QString& text, const QStringList& hints) const {
    if (text.trimmed().isEmpty())
        return {};
    const QByteArray utf8 = text.toUtf8();
    const QByteArray list = hints.join(QLatin1Char(',')).toLatin1();
    const CLD2::Language language =
        hints.isEmpty() ? detect(utf8, {nullptr, nullptr, CLD2::UNKNOWN_ENCODING, CLD2::UNKNOWN_LANGUAGE})
                        : detect(utf8, {list.constData(), nullptr, CLD2::UNKNOWN_ENCODING,
                                        CLD2::GetLanguageFromName(hints.first().toLatin1().constData())});
    return isKnown(language) ? QString::fromLatin1(CLD2::LanguageCode(language)) : QString();
}

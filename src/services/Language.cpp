#include "services/Language.h"

#include <QHash>
#include <utility>

namespace {

struct Table {
    QList<Language> languages;
    QHash<QString, qsizetype> indexByCode;
};

const Table& table() {
    static const Table instance = [] {
        static const std::pair<const char*, const char*> entries[] = {
            {"Automatic", "auto"},
            {"Afrikaans", "af"},
            {"Albanian", "sq"},
            {"Amharic", "am"},
            {"Arabic", "ar"},
            {"Armenian", "hy"},
            {"Azerbaijani", "az"},
            {"Basque", "eu"},
            {"Belarusian", "be"},
            {"Bengali", "bn"},
            {"Bosnian", "bs"},
            {"Bulgarian", "bg"},
            {"Catalan", "ca"},
            {"Cebuano", "ceb"},
            {"Chichewa", "ny"},
            {"Chinese Simplified", "zh-cn"},
            {"Chinese Traditional", "zh-tw"},
            {"Corsican", "co"},
            {"Croatian", "hr"},
            {"Czech", "cs"},
            {"Danish", "da"},
            {"Dutch", "nl"},
            {"English", "en"},
            {"Esperanto", "eo"},
            {"Estonian", "et"},
            {"Filipino", "tl"},
            {"Finnish", "fi"},
            {"French", "fr"},
            {"Frisian", "fy"},
            {"Galician", "gl"},
            {"Georgian", "ka"},
            {"German", "de"},
            {"Greek", "el"},
            {"Gujarati", "gu"},
            {"Haitian Creole", "ht"},
            {"Hausa", "ha"},
            {"Hawaiian", "haw"},
            {"Hebrew", "iw"},
            {"Hindi", "hi"},
            {"Hmong", "hmn"},
            {"Hungarian", "hu"},
            {"Icelandic", "is"},
            {"Igbo", "ig"},
            {"Indonesian", "id"},
            {"Irish", "ga"},
            {"Italian", "it"},
            {"Japanese", "ja"},
            {"Javanese", "jw"},
            {"Kannada", "kn"},
            {"Kazakh", "kk"},
            {"Khmer", "km"},
            {"Korean", "ko"},
            {"Kurdish (Kurmanji)", "ku"},
            {"Kyrgyz", "ky"},
            {"Lao", "lo"},
            {"Latin", "la"},
            {"Latvian", "lv"},
            {"Lithuanian", "lt"},
            {"Luxembourgish", "lb"},
            {"Macedonian", "mk"},
            {"Malagasy", "mg"},
            {"Malay", "ms"},
            {"Malayalam", "ml"},
            {"Maltese", "mt"},
            {"Maori", "mi"},
            {"Marathi", "mr"},
            {"Mongolian", "mn"},
            {"Myanmar (Burmese)", "my"},
            {"Nepali", "ne"},
            {"Norwegian", "no"},
            {"Pashto", "ps"},
            {"Persian", "fa"},
            {"Polish", "pl"},
            {"Portuguese", "pt"},
            {"Punjabi", "pa"},
            {"Romanian", "ro"},
            {"Russian", "ru"},
            {"Samoan", "sm"},
            {"Scots Gaelic", "gd"},
            {"Serbian", "sr"},
            {"Sesotho", "st"},
            {"Shona", "sn"},
            {"Sindhi", "sd"},
            {"Sinhala", "si"},
            {"Slovak", "sk"},
            {"Slovenian", "sl"},
            {"Somali", "so"},
            {"Spanish", "es"},
            {"Sundanese", "su"},
            {"Swahili", "sw"},
            {"Swedish", "sv"},
            {"Tajik", "tg"},
            {"Tamil", "ta"},
            {"Telugu", "te"},
            {"Thai", "th"},
            {"Turkish", "tr"},
            {"Ukrainian", "uk"},
            {"Urdu", "ur"},
            {"Uzbek", "uz"},
            {"Vietnamese", "vi"},
            {"Welsh", "cy"},
            {"Xhosa", "xh"},
            {"Yiddish", "yi"},
            {"Yoruba", "yo"},
            {"Zulu", "zu"},
        };
        Table built;
        for (const auto& [name, code] : entries) {
            const QString codeText = QString::fromLatin1(code);
            built.indexByCode.insert(codeText, built.languages.size());
            built.languages.append(Language{QUuid::createUuid(), QString::fromLatin1(name), codeText});
        }
        return built;
    }();
    return instance;
}

} // namespace

const QList<Language>& Language::allLanguages() {
    return table().languages;
}

Language Language::find(const QString& byCode) {
    const Table& t = table();
    return t.languages.at(t.indexByCode.value(byCode, 0));
}

Language Language::findTarget(const QString& byCode) {
    const Language found = find(byCode);
    if (!found.isAutomatic())
        return found;
    return find(englishCode);
}

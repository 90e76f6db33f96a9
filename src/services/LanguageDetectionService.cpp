#include "services/LanguageDetectionService.h"

#include "platform/LanguageRecognizer.h"
#include "platform/Platform.h"
#include "services/Language.h"
#include "services/LanguagePreferences.h"
#include "services/SystemLanguage.h"

#include <QFile>
#include <QHash>
#include <QLocale>
#include <QSet>

#include <algorithm>
#include <optional>

namespace {

// Codes the table spells differently from the recogniser (older ISO codes, script subtags).
const QHash<QString, QString>& aliases() {
    static const QHash<QString, QString> table = {
        {QStringLiteral("zh"), QStringLiteral("zh-cn")},     {QStringLiteral("zh-hans"), QStringLiteral("zh-cn")},
        {QStringLiteral("zh-hant"), QStringLiteral("zh-tw")}, {QStringLiteral("zh-tw"), QStringLiteral("zh-tw")},
        {QStringLiteral("zh-hk"), QStringLiteral("zh-tw")},   {QStringLiteral("he"), QStringLiteral("iw")},
        {QStringLiteral("jv"), QStringLiteral("jw")},         {QStringLiteral("fil"), QStringLiteral("tl")},
        {QStringLiteral("nb"), QStringLiteral("no")},         {QStringLiteral("nn"), QStringLiteral("no")},
    };
    return table;
}

QSet<QString> loadWords(const QString& path) {
    QFile file(path);
    QSet<QString> words;
    if (!file.open(QIODevice::ReadOnly))
        return words;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.isEmpty() && !line.startsWith('#'))
            words.insert(QString::fromUtf8(line));
    }
    return words;
}

// Words only Turkish or only English has: a selection of a few of them is too short for the recogniser,
// which takes "tesekkurler" or "hos geldiniz" for another language and would turn it into Turkish again.
struct MainPairWords {
    QSet<QString> turkish = loadWords(QStringLiteral(":/languages/words-tr.txt"));
    QSet<QString> english = loadWords(QStringLiteral(":/languages/words-en.txt"));
};

const MainPairWords& mainPairWords() {
    static const MainPairWords words;
    return words;
}

constexpr qsizetype MaxWordListWords = 3;

// The runs between ASCII white space (tab to carriage return, space). A split here rather than by a
// regular expression: that was compiled anew for every selection and brought the regex engine's pages in.
QStringList whiteSpaceSeparated(const QString& text) {
    const auto isSpace = [](QChar c) {
        return c == QLatin1Char(' ') || (c >= QLatin1Char('\t') && c <= QLatin1Char('\r'));
    };
    QStringList tokens;
    qsizetype begin = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !isSpace(text.at(i)))
            continue;
        if (i > begin)
            tokens << text.sliced(begin, i - begin);
        begin = i + 1;
    }
    return tokens;
}

// The words of a selection of at most three, with the punctuation around them dropped; none when it is
// longer or holds a word with digits.
std::optional<QStringList> fewWords(const QString& text) {
    QStringList words;
    for (QString token : whiteSpaceSeparated(text)) {
        token.replace(QChar(0x2019), QLatin1Char('\''));
        const auto isWordChar = [](QChar c) { return c.isLetterOrNumber() || c.isMark(); };
        qsizetype begin = 0;
        qsizetype end = token.size();
        while (begin < end && !isWordChar(token.at(begin)))
            ++begin;
        while (end > begin && !isWordChar(token.at(end - 1)))
            --end;
        if (begin == end)
            continue;
        const QString word = token.sliced(begin, end - begin);
        if (std::any_of(word.begin(), word.end(), [](QChar c) { return c.isDigit(); }))
            return std::nullopt;
        words << word;
        if (words.size() > MaxWordListWords)
            return std::nullopt;
    }
    return words;
}

// "tr" or "en" when every word of a short selection is a word of that language and not of the other.
QString mainPairLanguage(const QString& text) {
    const std::optional<QStringList> words = fewWords(text);
    if (!words || words->isEmpty())
        return {};
    static const QLocale turkish(QLocale::Turkish);
    QString language;
    for (const QString& word : *words) {
        const bool isTurkish = mainPairWords().turkish.contains(turkish.toLower(word));
        const bool isEnglish = mainPairWords().english.contains(word.toLower());
        if (isTurkish == isEnglish)
            return {};
        const QString wordLanguage = isTurkish ? QStringLiteral("tr") : QStringLiteral("en");
        if (!language.isEmpty() && language != wordLanguage)
            return {};
        language = wordLanguage;
    }
    return language;
}

QString recognized(const QString& text, const QStringList& hints) {
    const QString dominant = platform().languageRecognizer().dominantLanguage(text, hints);
    return dominant.isEmpty() ? Language::automaticCode : LanguageDetectionService::normalizeLanguageCode(dominant);
}

} // namespace

QString LanguageDetectionService::detectLanguage(const QString& text) {
    if (text.isEmpty() || !hasPlatform())
        return Language::automaticCode;
    if (const QString language = mainPairLanguage(text); !language.isEmpty())
        return language;
    // The text alone first: hints weigh so heavily that with Turkish among them "hello" comes out Turkish.
    const QString alone = recognized(text, {});
    if (alone != Language::automaticCode)
        return alone;
    // An answer outside the table (or none) is a guess on too little text: the user's own languages come
    // before the desktop's.
    QStringList likely;
    for (const std::optional<QString>& stored :
         {LanguagePreferences::storedSource(), LanguagePreferences::storedTarget()}) {
        if (stored)
            likely << *stored;
    }
    likely << systemLanguageCode();
    const QStringList hints = recognizerHints(likely);
    return hints.isEmpty() ? Language::automaticCode : recognized(text, hints);
}

QString LanguageDetectionService::normalizeLanguageCode(const QString& code) {
    const QString lower = code.toLower().replace(QLatin1Char('_'), QLatin1Char('-'));
    if (lower.isEmpty() || lower == Language::automaticCode)
        return Language::automaticCode;
    if (const auto alias = aliases().constFind(lower); alias != aliases().constEnd())
        return *alias;
    if (!Language::find(lower).isAutomatic())
        return lower;
    // A region or script the table does not tell apart ("pt-BR", "sr-Latn") is its language.
    if (lower.contains(QLatin1Char('-')))
        return normalizeLanguageCode(lower.section(QLatin1Char('-'), 0, -2));
    return Language::automaticCode;
}

QStringList LanguageDetectionService::recognizerHints(const QStringList& languages) {
    QStringList hints;
    for (const QString& code : languages) {
        if (Language::find(code).isAutomatic())
            continue;
        const QString hint = code == QLatin1String("zh-cn")   ? QStringLiteral("zh")
                             : code == QLatin1String("zh-tw") ? QStringLiteral("zh-Hant")
                                                              : code;
        if (!hints.contains(hint))
            hints << hint;
    }
    return hints;
}

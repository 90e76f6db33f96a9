#include "StandInAnswers.h"

#include <QJsonArray>
#include <QtEndian>
#include <cmath>

namespace {

struct Entry {
    const char* en;
    const char* tr;
    const char* de;
    const char* type;
};

// UTF-8 literals; a deliberately small list so tests can name their expectations.
const Entry kWords[] = {
    {"hello", "merhaba", "hallo", "interjection"},
    {"world", "dünya", "Welt", "noun"},
    {"book", "kitap", "Buch", "noun"},
    {"water", "su", "Wasser", "noun"},
    {"cat", "kedi", "Katze", "noun"},
    {"house", "ev", "Haus", "noun"},
    {"read", "okumak", "lesen", "verb"},
    {"good morning", "günaydın", "guten Morgen", "phrase"},
    {"thank you", "teşekkür ederim", "danke", "phrase"},
};

QString column(const Entry& entry, const QString& language) {
    if (language == QLatin1String("tr"))
        return QString::fromUtf8(entry.tr);
    if (language == QLatin1String("de"))
        return QString::fromUtf8(entry.de);
    if (language == QLatin1String("en"))
        return QString::fromUtf8(entry.en);
    return {};
}

const Entry* lookUp(const QString& text, const QString& sourceLanguage) {
    const QString needle = text.trimmed().toLower();
    for (const Entry& entry : kWords) {
        for (const char* language : {"en", "tr", "de"}) {
            const QString lang = QString::fromLatin1(language);
            if (sourceLanguage != QLatin1String("auto") && sourceLanguage != lang)
                continue;
            if (column(entry, lang).toLower() == needle)
                return &entry;
        }
    }
    return nullptr;
}

} // namespace

namespace StandInAnswers {

QJsonObject translate(const QString& text, const QString& sourceLanguage, const QString& targetLanguage) {
    const Entry* entry = lookUp(text, sourceLanguage);
    QString translation = entry ? column(*entry, targetLanguage) : QString();
    if (translation.isEmpty())
        translation = QStringLiteral("[%1] %2").arg(targetLanguage, text);

    QJsonObject answer{{QStringLiteral("translation"), translation}, {QStringLiteral("sourceText"), text}};
    const QString word = text.trimmed();
    const bool singleWord = !word.isEmpty() && !word.contains(QLatin1Char(' '));
    if (!singleWord)
        return answer;

    const QString second = translation + QStringLiteral(" (2)");
    answer.insert(
        QStringLiteral("alternativeTranslations"),
        QJsonArray{
            QJsonObject{
                {QStringLiteral("word"), word},
                {QStringLiteral("type"), entry ? QString::fromLatin1(entry->type) : QStringLiteral("noun")},
                {QStringLiteral("translations"), QJsonArray{translation, second}},
                {QStringLiteral("backTranslations"),
                 QJsonObject{{translation, QJsonArray{word}},
                             {second, QJsonArray{word, word + QStringLiteral(" (2)")}}}},
            },
            QJsonObject{
                {QStringLiteral("word"), word},
                {QStringLiteral("type"), QStringLiteral("adjective")},
                {QStringLiteral("translations"), QJsonArray{translation + QStringLiteral("-ish")}},
            },
        });
    answer.insert(QStringLiteral("exampleSentences"),
                  QJsonArray{QStringLiteral("This is an example with [%1].").arg(word),
                             QStringLiteral("%1 appears in a second example.").arg(word)});
    answer.insert(QStringLiteral("phonetic"), QStringLiteral("/%1/").arg(word.toLower()));
    answer.insert(QStringLiteral("corrections"), QJsonArray{word.toLower()});
    answer.insert(QStringLiteral("polysemy"), QJsonArray{QStringLiteral("%1 (sense 1)").arg(translation),
                                                         QStringLiteral("%1 (sense 2)").arg(translation)});
    return answer;
}

QJsonObject rewrite(const QString& text, const QString& style, const QString& provider) {
    return QJsonObject{
        {QStringLiteral("rewritten"), QStringLiteral("[%1] %2").arg(style, text)},
        {QStringLiteral("provider"), provider},
    };
}

QString recognisedText() {
    return QStringLiteral("Recognised text from the Quillora dev API");
}

QByteArray speechWav(bool slow) {
    constexpr quint32 sampleRate = 16000;
    const quint32 samples = slow ? sampleRate / 2 : sampleRate / 4;
    const quint32 dataBytes = samples * 2;
    QByteArray wav;
    wav.reserve(int(44 + dataBytes));
    auto put32 = [&wav](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        wav.append(b, 4);
    };
    auto put16 = [&wav](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        wav.append(b, 2);
    };
    wav.append("RIFF");
    put32(36 + dataBytes);
    wav.append("WAVE");
    wav.append("fmt ");
    put32(16);
    put16(1); // PCM
    put16(1); // mono
    put32(sampleRate);
    put32(sampleRate * 2);
    put16(2);
    put16(16);
    wav.append("data");
    put32(dataBytes);
    for (quint32 i = 0; i < samples; ++i) {
        const double value = std::sin(2.0 * M_PI * 440.0 * double(i) / sampleRate) * 8000.0;
        put16(quint16(qint16(value)));
    }
    return wav;
}

} // namespace StandInAnswers

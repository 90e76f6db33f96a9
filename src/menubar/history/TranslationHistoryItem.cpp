#include "menubar/history/TranslationHistoryItem.h"

#include "platform/JsonNesting.h"
#include "platform/Notifications.h"

#include <QLocale>
#include <QStringDecoder>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

const QString kId = QStringLiteral("id");
const QString kSourceText = QStringLiteral("sourceText");
const QString kTranslatedText = QStringLiteral("translatedText");
const QString kSourceLanguageCode = QStringLiteral("sourceLanguageCode");
const QString kTargetLanguageCode = QStringLiteral("targetLanguageCode");
const QString kServiceRawValue = QStringLiteral("serviceRawValue");
const QString kDate = QStringLiteral("date");

std::optional<QString> stringMember(const QJsonObject& object, const QString& key) {
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

// Only the 36-character hyphenated form; QUuid alone would also take braces.
std::optional<QUuid> uuidFrom(const QString& text) {
    if (text.size() != 36)
        return std::nullopt;
    const QUuid id = QUuid::fromString(text);
    if (id.isNull() && text != QStringLiteral("00000000-0000-0000-0000-000000000000"))
        return std::nullopt;
    return id;
}

// Text without a code unit from U+0300 up is in NFC already (no combining mark, no character that
// normalizes to another); telling that costs a fraction of normalized(), which every record pays at load.
QString nfc(const QString& text) {
    const ushort* units = text.utf16();
    ushort highest = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        highest = std::max(highest, units[i]);
    return highest < 0x300 ? text : text.normalized(QString::NormalizationForm_C);
}

} // namespace

TranslationHistoryItem TranslationHistoryItem::make(const QString& sourceText, const QString& translatedText,
                                                    const Language& sourceLanguage,
                                                    const Language& targetLanguage,
                                                    TranslationService service) {
    return {QUuid::createUuid(),
            sourceText,
            translatedText,
            sourceLanguage,
            targetLanguage,
            service,
            referenceSeconds(QDateTime::currentDateTimeUtc())};
}

bool TranslationHistoryItem::isSameTranslation(const TranslationHistoryItem& a,
                                               const TranslationHistoryItem& b) {
    const auto same = [](const QString& x, const QString& y) {
        return x == y ||
               x.normalized(QString::NormalizationForm_C) == y.normalized(QString::NormalizationForm_C);
    };
    return same(a.sourceText, b.sourceText) && same(a.translatedText, b.translatedText);
}

TranslationHistoryItem::Pair TranslationHistoryItem::canonicalPair(const QString& sourceText,
                                                                   const QString& translatedText) {
    return {nfc(sourceText), nfc(translatedText)};
}

QDateTime TranslationHistoryItem::dateTime() const {
    return QDateTime::fromMSecsSinceEpoch(qint64((date + double(referenceDateOffset)) * 1000.0), Qt::UTC);
}

double TranslationHistoryItem::referenceSeconds(const QDateTime& time) {
    return double(time.toMSecsSinceEpoch()) / 1000.0 - double(referenceDateOffset);
}

QVariantMap TranslationHistoryItem::loadTranslationUserInfo() const {
    return {{NotificationKeys::sourceText, sourceText},
            {NotificationKeys::translatedText, translatedText},
            {NotificationKeys::sourceLanguageCode, sourceLanguage.code},
            {NotificationKeys::targetLanguageCode, targetLanguage.code},
            {NotificationKeys::serviceRawValue, rawValue(service)}};
}

QJsonObject TranslationHistoryItem::toJson() const {
    return {{kId, id.toString(QUuid::WithoutBraces).toUpper()},
            {kSourceText, sourceText},
            {kTranslatedText, translatedText},
            {kSourceLanguageCode, sourceLanguage.code},
            {kTargetLanguageCode, targetLanguage.code},
            {kServiceRawValue, rawValue(service)},
            {kDate, date}};
}

std::optional<TranslationHistoryItem> TranslationHistoryItem::fromJson(const QJsonObject& object) {
    const QJsonValue date = object.value(kDate);
    return fromMembers(stringMember(object, kId), stringMember(object, kSourceText),
                       stringMember(object, kTranslatedText), stringMember(object, kSourceLanguageCode),
                       stringMember(object, kTargetLanguageCode), stringMember(object, kServiceRawValue),
                       date.isDouble() ? std::optional<double>(date.toDouble()) : std::nullopt);
}

std::optional<TranslationHistoryItem> TranslationHistoryItem::fromMembers(
    const std::optional<QString>& idText, const std::optional<QString>& source,
    const std::optional<QString>& translated, const std::optional<QString>& sourceCode,
    const std::optional<QString>& targetCode, const std::optional<QString>& service,
    std::optional<double> date) {
    if (!idText || !source || !translated || !sourceCode || !targetCode || !service || !date)
        return std::nullopt;
    const auto id = uuidFrom(*idText);
    if (!id)
        return std::nullopt;
    return TranslationHistoryItem{*id,
                                  *source,
                                  *translated,
                                  Language::find(*sourceCode),
                                  Language::findTarget(*targetCode),
                                  translationServiceOrDefault(*service),
                                  *date};
}

// The lists reach thousands of records and are rewritten at every change, so they have a writer and
// a reader of their own, a few times faster than going through QJsonDocument; the text is the same
// compact JSON, members in the same (sorted) order.

namespace {

void appendJsonString(QStringView text, QByteArray& out) {
    static const char hex[] = "0123456789abcdef";
    out += '"';
    const QByteArray utf8 = text.toUtf8();
    const char* bytes = utf8.constData();
    qsizetype run = 0;
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const uchar b = uchar(bytes[i]);
        if (b >= 0x20 && b != '"' && b != '\\')
            continue;
        out.append(bytes + run, i - run);
        run = i + 1;
        switch (b) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += "\\u00";
            out += hex[b >> 4];
            out += hex[b & 0xF];
        }
    }
    out.append(bytes + run, utf8.size() - run);
    out += '"';
}

void appendJsonNumber(double value, QByteArray& out) {
    // Whole numbers as integers, as QJsonDocument writes them; others in their shortest exact form.
    if (std::isfinite(value) && value == std::trunc(value) && std::abs(value) < 9007199254740992.0)
        out += QByteArray::number(qint64(value));
    else if (std::isfinite(value))
        out += QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
    else
        out += "null";
}

void appendRecord(const TranslationHistoryItem& item, QByteArray& out) {
    out += "{\"date\":";
    appendJsonNumber(item.date, out);
    out += ",\"id\":\"";
    out += item.id.toByteArray(QUuid::WithoutBraces).toUpper();
    out += "\",\"serviceRawValue\":";
    appendJsonString(rawValue(item.service), out);
    out += ",\"sourceLanguageCode\":";
    appendJsonString(item.sourceLanguage.code, out);
    out += ",\"sourceText\":";
    appendJsonString(item.sourceText, out);
    out += ",\"targetLanguageCode\":";
    appendJsonString(item.targetLanguage.code, out);
    out += ",\"translatedText\":";
    appendJsonString(item.translatedText, out);
    out += '}';
}

// Whether none of eight bytes is '"', '\\' or a control character; a "no" may be wrong, a "yes" never is.
bool eightPlainBytes(const char* p) {
    quint64 v = 0;
    std::memcpy(&v, p, 8);
    constexpr quint64 ones = 0x0101010101010101ULL;
    constexpr quint64 highs = 0x8080808080808080ULL;
    const auto below = [&](quint64 x, quint64 n) { return (x - ones * n) & ~x & highs; };
    return (below(v ^ (ones * '"'), 1) | below(v ^ (ones * '\\'), 1) | below(v, 0x20)) == 0;
}

// A strict JSON reader for an array of flat records: any syntax error, or nesting past the limit, fails
// the whole text, as QJsonDocument would; members that are not strings or numbers are skipped over.
class ListReader {
public:
    explicit ListReader(QByteArrayView text)
        : m_p(text.data())
        , m_end(text.data() + text.size()) {}

    bool read(TranslationHistoryItem::Decoded& result) {
        // QJsonDocument passes over one byte-order mark, only in front of everything.
        if (m_end - m_p >= 3 && std::memcmp(m_p, "\xEF\xBB\xBF", 3) == 0)
            m_p += 3;
        skipSpace();
        if (!consume('['))
            return false;
        const JsonNestingLevel level(m_depth);
        skipSpace();
        if (consume(']'))
            return atEnd();
        for (;;) {
            skipSpace();
            std::optional<Members> record;
            if (peek() == '{') {
                record.emplace();
                if (!readObject(&*record))
                    return false;
            } else if (!skipValue()) {
                return false;
            }
            if (auto item = record ? record->item() : std::nullopt)
                result.items.append(std::move(*item));
            else
                ++result.skipped;
            skipSpace();
            if (consume(','))
                continue;
            if (consume(']'))
                return atEnd();
            return false;
        }
    }

private:
    char peek() const { return m_p < m_end ? *m_p : '\0'; }
    bool consume(char c) {
        if (m_p < m_end && *m_p == c) {
            ++m_p;
            return true;
        }
        return false;
    }
    void skipSpace() {
        while (m_p < m_end && (*m_p == ' ' || *m_p == '\t' || *m_p == '\n' || *m_p == '\r'))
            ++m_p;
    }
    bool atEnd() {
        skipSpace();
        return m_p == m_end;
    }
    bool literal(const char* word) {
        const qsizetype n = qsizetype(std::strlen(word));
        if (m_end - m_p < n || std::memcmp(m_p, word, size_t(n)) != 0)
            return false;
        m_p += n;
        return true;
    }

    // The seven members of a record; a member of another JSON type counts as missing.
    struct Members {
        std::optional<QString> strings[6];
        std::optional<double> date;
        std::optional<TranslationHistoryItem> item() const {
            return TranslationHistoryItem::fromMembers(strings[0], strings[1], strings[2], strings[3],
                                                       strings[4], strings[5], date);
        }
    };

    static int stringMemberIndex(QByteArrayView key) {
        static const char* const names[] = {"id",
                                            "sourceText",
                                            "translatedText",
                                            "sourceLanguageCode",
                                            "targetLanguageCode",
                                            "serviceRawValue"};
        for (int i = 0; i < 6; ++i) {
            if (key == names[i])
                return i;
        }
        return -1;
    }

    // Reads an object; with `members`, also keeps the record's members (a later duplicate wins).
    bool readObject(Members* members) {
        consume('{');
        const JsonNestingLevel level(m_depth);
        if (level.tooDeep())
            return false;
        skipSpace();
        if (consume('}'))
            return true;
        for (;;) {
            skipSpace();
            QString key;
            if (!readString(key, true))
                return false;
            skipSpace();
            if (!consume(':'))
                return false;
            skipSpace();
            const QByteArray keyBytes = members ? key.toUtf8() : QByteArray();
            const int index = members ? stringMemberIndex(keyBytes) : -1;
            const bool isDate = members && keyBytes == "date";
            const char c = peek();
            if (c == '"') {
                QString value;
                if (!readString(value))
                    return false;
                if (index >= 0)
                    members->strings[index] = std::move(value);
                else if (isDate)
                    members->date.reset();
            } else if (c == '-' || c == '.' || (c >= '0' && c <= '9')) {
                double value = 0;
                if (!readNumber(value))
                    return false;
                if (isDate)
                    members->date = value;
                else if (index >= 0)
                    members->strings[index].reset();
            } else if (!skipValue()) {
                return false;
            } else if (index >= 0) {
                members->strings[index].reset();
            } else if (isDate) {
                members->date.reset();
            }
            skipSpace();
            if (consume(','))
                continue;
            return consume('}');
        }
    }

    // Invalid UTF-8 fails the whole text, as in QJsonDocument. A string without escapes loses a
    // byte-order mark at its start there, one with escapes keeps it: so it is here. A key keeps it
    // either way, since QJsonObject matches keys on their bytes: "\uFEFFdate" is not "date".
    bool readString(QString& out, bool isKey = false) {
        if (!consume('"'))
            return false;
        const char* run = m_p;
        bool escaped = false;
        const auto appendRun = [&](const char* end) {
            QStringDecoder decoder(QStringDecoder::Utf8,
                                   QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
            const qsizetype size = out.size();
            out.resize(size + decoder.requiredSpace(end - run));
            out.truncate(decoder.appendToBuffer(out.data() + size, QByteArrayView(run, end - run)) -
                         out.constData());
            return !decoder.hasError();
        };
        while (m_p < m_end) {
            // Texts are long and mostly plain: those bytes are passed eight at a time.
            while (m_end - m_p >= 8 && eightPlainBytes(m_p))
                m_p += 8;
            if (m_p == m_end)
                break;
            const char c = *m_p;
            if (c == '"') {
                if (escaped) {
                    if (!appendRun(m_p))
                        return false;
                } else {
                    QStringDecoder decoder(QStringDecoder::Utf8,
                                           isKey ? QStringDecoder::Flag::Stateless |
                                                       QStringDecoder::Flag::ConvertInitialBom
                                                 : QStringDecoder::Flag::Stateless);
                    out = decoder(QByteArrayView(run, m_p - run));
                    if (decoder.hasError())
                        return false;
                }
                ++m_p;
                return true;
            }
            // A raw control character is taken as it stands, as QJsonDocument takes it.
            if (c != '\\') {
                ++m_p;
                continue;
            }
            escaped = true;
            if (!appendRun(m_p))
                return false;
            if (++m_p >= m_end)
                return false;
            switch (*m_p++) {
            case 'b':
                out += u'\b';
                break;
            case 'f':
                out += u'\f';
                break;
            case 'n':
                out += u'\n';
                break;
            case 'r':
                out += u'\r';
                break;
            case 't':
                out += u'\t';
                break;
            case 'u': {
                // Each escape is one UTF-16 unit: a pair makes its character, a lone surrogate stays.
                char32_t code = 0;
                if (!readHex4(code))
                    return false;
                out += QChar(char16_t(code));
                break;
            }
            default:
                // '"', '\\', '/', and any other byte: taken as the Latin-1 character, as QJsonDocument does.
                out += QChar(char16_t(uchar(m_p[-1])));
                break;
            }
            run = m_p;
        }
        return false;
    }

    bool readHex4(char32_t& code) {
        if (m_end - m_p < 4)
            return false;
        for (int i = 0; i < 4; ++i) {
            const char c = *m_p++;
            code <<= 4;
            if (c >= '0' && c <= '9')
                code |= char32_t(c - '0');
            else if (c >= 'a' && c <= 'f')
                code |= char32_t(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                code |= char32_t(c - 'A' + 10);
            else
                return false;
        }
        return true;
    }

    bool readNumber(double& value) {
        // Scanned as QJsonDocument scans: digits may be missing before or after the point ("1.", ".5");
        // whether the whole is a number, and a finite one, the conversion tells.
        const char* start = m_p;
        consume('-');
        if (!consume('0'))
            consumeDigits();
        if (consume('.'))
            consumeDigits();
        if (peek() == 'e' || peek() == 'E') {
            ++m_p;
            if (!consume('+'))
                consume('-');
            consumeDigits();
        }
        bool ok = false;
        value = QByteArrayView(start, m_p - start).toDouble(&ok);
        return ok;
    }
    void consumeDigits() {
        while (m_p < m_end && *m_p >= '0' && *m_p <= '9')
            ++m_p;
    }

    bool skipValue() {
        switch (peek()) {
        case '"': {
            QString ignored;
            return readString(ignored);
        }
        case '{':
            return readObject(nullptr);
        case '[': {
            ++m_p;
            const JsonNestingLevel level(m_depth);
            if (level.tooDeep())
                return false;
            skipSpace();
            if (consume(']'))
                return true;
            for (;;) {
                skipSpace();
                if (!skipValue())
                    return false;
                skipSpace();
                if (consume(','))
                    continue;
                return consume(']');
            }
        }
        case 't':
            return literal("true");
        case 'f':
            return literal("false");
        case 'n':
            return literal("null");
        default: {
            double ignored = 0;
            return readNumber(ignored);
        }
        }
    }

    const char* m_p;
    const char* m_end;
    int m_depth = 0;
};

} // namespace

QByteArray TranslationHistoryItem::encodeList(const QList<TranslationHistoryItem>& items) {
    QByteArray out;
    qsizetype estimate = 2;
    for (const TranslationHistoryItem& item : items)
        estimate += 200 + (item.sourceText.size() + item.translatedText.size()) * 2;
    out.reserve(estimate);
    out += '[';
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (i > 0)
            out += ',';
        appendRecord(items.at(i), out);
    }
    out += ']';
    return out;
}

TranslationHistoryItem::Decoded TranslationHistoryItem::decodeList(const QByteArray& bytes) {
    Decoded result;
    ListReader reader(bytes);
    if (!reader.read(result))
        return Decoded{};
    result.readable = true;
    return result;
}

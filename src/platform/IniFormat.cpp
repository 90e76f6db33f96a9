#include "platform/IniFormat.h"

#include <QDataStream>
#include <QIODevice>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QStringDecoder>
#include <QStringList>
#include <QtEndian>

#include <cstring>
#include <optional>
#include <utility>

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

bool isHexDigit(char16_t ch) {
    return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
}

// ---- writing ----

void appendKey(const QString& key, QByteArray& out) {
    for (qsizetype i = 0; i < key.size(); ++i) {
        const char16_t ch = key.at(i).unicode();
        // A backslash right before the '=' would escape it: the line would hold no key at all.
        if (ch == '/' && i < key.size() - 1) {
            out += '\\';
        } else if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
                   ch == '_' || ch == '-' || ch == '.') {
            out += char(ch);
        } else if (ch <= 0xFF) {
            out += '%';
            out += kHexDigits[ch / 16];
            out += kHexDigits[ch % 16];
        } else {
            out += "%U";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += kHexDigits[(ch >> shift) & 0xF];
        }
    }
}

void appendEscapeOf(char16_t ch, QByteArray& out, bool& escapeNextIfHexDigit) {
    switch (ch) {
    case '\0':
        out += "\\0";
        escapeNextIfHexDigit = true;
        break;
    case '\a':
        out += "\\a";
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
    case '\v':
        out += "\\v";
        break;
    case '"':
    case '\\':
        out += '\\';
        out += char(ch);
        break;
    default:
        out += "\\x" + QByteArray::number(uint(ch), 16);
        escapeNextIfHexDigit = true;
        break;
    }
}

// One value in Qt's escaping, quoted when it holds ';', ',' or '=' or starts or ends with a space. Plain
// text is copied as UTF-8 in runs; `raw` (the "@ByteArray(" and "@Variant(" texts, whose characters are
// bytes) escapes everything above 0x7E instead.
void appendEscaped(QStringView text, bool raw, QByteArray& out) {
    const qsizetype start = out.size();
    out += '"';
    bool needsQuotes = false;
    // A hex escape would swallow a hex digit after it, so that digit is escaped too (and so on).
    bool escapeNextIfHexDigit = false;
    const auto isQuoteChar = [](char16_t ch) { return ch == ';' || ch == ',' || ch == '='; };
    if (raw) {
        for (const QChar qch : text) {
            const char16_t ch = qch.unicode();
            needsQuotes = needsQuotes || isQuoteChar(ch);
            if (escapeNextIfHexDigit && isHexDigit(ch)) {
                out += "\\x" + QByteArray::number(uint(ch), 16);
                continue;
            }
            escapeNextIfHexDigit = false;
            if (ch < 0x20 || ch == '"' || ch == '\\' || ch >= 0x7F)
                appendEscapeOf(ch, out, escapeNextIfHexDigit);
            else
                out += char(ch);
        }
    } else {
        // One pass from UTF-16 to escaped UTF-8, into room for the worst case (four bytes a unit).
        out.resize(start + 1 + text.size() * 4);
        char* dst = out.data() + start + 1;
        const char16_t* src = reinterpret_cast<const char16_t*>(text.data());
        const char16_t* const end = src + text.size();
        QByteArray escape;
        while (src < end) {
            // Plain ASCII, by far the most of any value, is copied in a tight loop.
            if (!escapeNextIfHexDigit) {
                while (src < end && *src >= 0x20 && *src < 0x80 && *src != '"' && *src != '\\' &&
                       *src != ';' && *src != ',' && *src != '=')
                    *dst++ = char(*src++);
                if (src == end)
                    break;
            }
            const char16_t ch = *src++;
            if (ch >= 0x80) {
                escapeNextIfHexDigit = false;
                if (ch < 0x800) {
                    *dst++ = char(0xC0 | (ch >> 6));
                    *dst++ = char(0x80 | (ch & 0x3F));
                } else if (QChar::isHighSurrogate(ch) && src < end && QChar::isLowSurrogate(*src)) {
                    const char32_t code = QChar::surrogateToUcs4(ch, *src++);
                    *dst++ = char(0xF0 | (code >> 18));
                    *dst++ = char(0x80 | ((code >> 12) & 0x3F));
                    *dst++ = char(0x80 | ((code >> 6) & 0x3F));
                    *dst++ = char(0x80 | (code & 0x3F));
                } else {
                    // A lone surrogate is written as U+FFFD, as Qt's encoder does.
                    const char16_t unit = QChar::isSurrogate(ch) ? char16_t(0xFFFD) : ch;
                    *dst++ = char(0xE0 | (unit >> 12));
                    *dst++ = char(0x80 | ((unit >> 6) & 0x3F));
                    *dst++ = char(0x80 | (unit & 0x3F));
                }
                continue;
            }
            needsQuotes = needsQuotes || isQuoteChar(ch);
            const bool afterEscape = escapeNextIfHexDigit && isHexDigit(ch);
            if (!afterEscape && ch >= 0x20) {
                escapeNextIfHexDigit = false;
                if (ch == '"' || ch == '\\')
                    *dst++ = '\\';
                *dst++ = char(ch);
                continue;
            }
            escape.clear();
            if (afterEscape)
                escape = "\\x" + QByteArray::number(uint(ch), 16);
            else {
                escapeNextIfHexDigit = false;
                appendEscapeOf(ch, escape, escapeNextIfHexDigit);
            }
            std::memcpy(dst, escape.constData(), size_t(escape.size()));
            dst += escape.size();
        }
        out.truncate(dst - out.constData());
    }
    const bool edgeSpace = out.size() > start + 1 && (out.at(start + 1) == ' ' || out.back() == ' ');
    if (needsQuotes || edgeSpace)
        out += '"';
    else
        out.remove(start, 1);
}

QString variantToString(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        return QStringLiteral("@Invalid()");
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return QStringLiteral("@ByteArray(") + QLatin1StringView(bytes) + QLatin1Char(')');
    }
    case QMetaType::QString:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Bool:
    case QMetaType::Float:
    case QMetaType::Double: {
        QString text = value.toString();
        if (text.contains(QChar::Null))
            return QStringLiteral("@String(") + text + QLatin1Char(')');
        if (text.startsWith(QLatin1Char('@')))
            text.prepend(QLatin1Char('@'));
        return text;
    }
    case QMetaType::QRect: {
        const QRect r = value.toRect();
        return QStringLiteral("@Rect(%1 %2 %3 %4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    }
    case QMetaType::QSize: {
        const QSize s = value.toSize();
        return QStringLiteral("@Size(%1 %2)").arg(s.width()).arg(s.height());
    }
    case QMetaType::QPoint: {
        const QPoint p = value.toPoint();
        return QStringLiteral("@Point(%1 %2)").arg(p.x()).arg(p.y());
    }
    default: {
        const bool dateTime = value.typeId() == QMetaType::QDateTime;
        QByteArray bytes;
        {
            QDataStream stream(&bytes, QIODevice::WriteOnly);
            stream.setVersion(dateTime ? QDataStream::Qt_5_6 : QDataStream::Qt_4_0);
            stream << value;
        }
        return QLatin1StringView(dateTime ? "@DateTime(" : "@Variant(") + QLatin1StringView(bytes) +
               QLatin1Char(')');
    }
    }
}

void appendValueText(const QString& text, QByteArray& out) {
    const bool raw = text.startsWith(QLatin1StringView("@ByteArray(")) ||
                     text.startsWith(QLatin1StringView("@Variant(")) ||
                     text.startsWith(QLatin1StringView("@DateTime("));
    appendEscaped(text, raw, out);
}

void appendValue(const QVariant& value, QByteArray& out) {
    if (value.metaType() == QMetaType::fromType<IniFormat::Unreadable>()) {
        out += value.value<IniFormat::Unreadable>().text;
        return;
    }
    const bool list = value.typeId() == QMetaType::QStringList ||
                      (value.typeId() == QMetaType::QVariantList && value.toList().size() != 1);
    if (!list) {
        appendValueText(variantToString(value), out);
        return;
    }
    const QVariantList items = value.toList();
    if (items.isEmpty()) {
        out += "@Invalid()";
        return;
    }
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (i > 0)
            out += ", ";
        appendValueText(variantToString(items.at(i)), out);
    }
}

// ---- reading ----

QString unescapeKey(QByteArrayView key) {
    const QString decoded = QString::fromUtf8(key);
    QString result;
    result.reserve(decoded.size());
    for (qsizetype i = 0; i < decoded.size();) {
        const char16_t ch = decoded.at(i).unicode();
        if (ch == '\\') {
            result += QLatin1Char('/');
            ++i;
            continue;
        }
        if (ch != '%' || i == decoded.size() - 1) {
            result += QChar(ch);
            ++i;
            continue;
        }
        int digits = 2;
        qsizetype first = i + 1;
        if (decoded.at(i + 1) == QLatin1Char('U')) {
            digits = 4;
            ++first;
        }
        bool ok = false;
        const uint code = first + digits <= decoded.size() ? decoded.mid(first, digits).toUInt(&ok, 16) : 0;
        if (!ok) {
            result += QChar(ch);
            ++i;
            continue;
        }
        result += QChar(char16_t(code));
        i = first + digits;
    }
    return result;
}

void chopTrailingSpaces(QString& text, qsizetype limit) {
    qsizetype n = text.size();
    while (n > limit && (text.at(n - 1) == QLatin1Char(' ') || text.at(n - 1) == QLatin1Char('\t')))
        --n;
    text.truncate(n);
}

// A value's text, unescaped; a comma outside quotes makes it a list. Follows Qt's reader to the letter,
// oddities included, so that a file reads alike whichever of the two reads it: spaces and tabs at the
// end of unquoted text are dropped, but not what an escape or a closing quote wrote, nor anything
// when the value ends in a lone backslash; a byte-order mark is dropped at the start of the first
// text decoded only (one decoder runs over the whole value, as in Qt).
bool unescapeValue(QByteArrayView str, QString& text, QStringList& list) {
    static const char codes[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                    {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                    {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
    bool isList = false;
    bool inQuotes = false;
    bool quoted = false;
    qsizetype i = 0;
    const qsizetype size = str.size();
    const auto skipSpaces = [&] {
        while (i < size && (str[i] == ' ' || str[i] == '\t'))
            ++i;
    };
    skipSpaces();
    QStringDecoder decoder(QStringDecoder::Utf8);
    qsizetype chopLimit = text.size();
    while (i < size) {
        const char c = str[i];
        if (c == '\\') {
            ++i;
            if (i >= size) {
                chopLimit = text.size();
                break;
            }
            const char e = str[i++];
            bool named = false;
            for (const auto& code : codes) {
                if (e == code[0]) {
                    text += QLatin1Char(code[1]);
                    named = true;
                    break;
                }
            }
            if (named) {
                chopLimit = text.size();
                continue;
            }
            if (e == 'x' || (e >= '0' && e <= '7')) {
                const bool hex = e == 'x';
                char16_t value = hex ? 0 : char16_t(e - '0');
                bool digits = !hex;
                while (i < size) {
                    const char d = str[i];
                    if (hex && isHexDigit(char16_t(d))) {
                        value = char16_t((value << 4) + QByteArray(1, d).toUInt(nullptr, 16));
                    } else if (!hex && d >= '0' && d <= '7') {
                        value = char16_t((value << 3) + (d - '0'));
                    } else {
                        break;
                    }
                    digits = true;
                    ++i;
                }
                if (digits)
                    text += QChar(value);
            } else if ((e == '\n' || e == '\r') && i < size && (str[i] == '\n' || str[i] == '\r') &&
                       str[i] != e) {
                ++i;
            }
            chopLimit = text.size();
            continue;
        }
        if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) {
                skipSpaces();
                chopLimit = text.size();
            }
            continue;
        }
        if (c == ',' && !inQuotes) {
            if (!quoted)
                chopTrailingSpaces(text, chopLimit);
            isList = true;
            list.append(text);
            text.clear();
            quoted = false;
            ++i;
            skipSpaces();
            chopLimit = 0;
            continue;
        }
        qsizetype j = i + 1;
        while (j < size && str[j] != '\\' && str[j] != '"' && str[j] != ',')
            ++j;
        const QByteArrayView run = str.sliced(i, j - i);
        const qsizetype start = text.size();
        text.resize(start + decoder.requiredSpace(run.size()));
        text.truncate(decoder.appendToBuffer(text.data() + start, run) - text.constData());
        i = j;
    }
    if (!quoted)
        chopTrailingSpaces(text, chopLimit);
    if (isList)
        list.append(text);
    return isList;
}

// Tells whether every length a streamed value declares fits in the bytes that follow: a "@Variant(" value
// is streamed by Qt 4.0's rules, a "@DateTime(" one by Qt 5.6's, and Qt reads either as a value of any
// kind. Qt makes room for a declared count before it reads the items, so one damaged count asks for
// gigabytes. Kinds of value this walk does not know, and values nested too deep, are refused.
class StreamedLengths {
public:
    StreamedLengths(QByteArrayView bytes, QDataStream::Version version)
        : m_bytes(bytes)
        , m_qt5(version >= QDataStream::Qt_5_0) {}
    bool fit() { return variant(0); }

private:
    static constexpr int kMaxDepth = 64;

    qsizetype left() const { return m_bytes.size() - m_pos; }
    bool take(qsizetype n) {
        if (n > left())
            return false;
        m_pos += n;
        return true;
    }
    std::optional<quint32> number() {
        if (left() < 4)
            return std::nullopt;
        const quint32 n = qFromBigEndian<quint32>(m_bytes.data() + m_pos);
        m_pos += 4;
        return n;
    }
    // A text or byte array: its length, all ones for a null one, then its bytes.
    bool bytes() {
        const auto n = number();
        return n && (*n == 0xFFFFFFFFu || take(qsizetype(*n)));
    }
    template <typename Each>
    bool items(qsizetype smallest, Each each) {
        const auto n = number();
        if (!n || qsizetype(*n) > left() / smallest)
            return false;
        for (quint32 i = 0; i < *n; ++i) {
            if (!each())
                return false;
        }
        return true;
    }
    // Date, time and kind of time; then an offset, or a time zone by name (a zone made of an offset
    // names a marker instead, its own fields following).
    bool dateTime() {
        if (!m_qt5)
            return take(9);
        if (!take(12) || left() < 1)
            return false;
        switch (int(m_bytes[m_pos++])) {
        case Qt::OffsetFromUTC:
            return take(4);
        case Qt::TimeZone: {
            static const QByteArray marker = [] {
                QByteArray text;
                for (const char c : QByteArrayView("OffsetFromUtc"))
                    text += QByteArray(1, '\0') + c;
                return text;
            }();
            const qsizetype start = m_pos + 4;
            if (!bytes())
                return false;
            if (m_bytes.sliced(start, m_pos - start) != marker)
                return true;
            return bytes() && take(4) && bytes() && bytes() && take(4) && bytes();
        }
        default:
            return true;
        }
    }
    bool variant(int depth) {
        const auto type = number();
        // From Qt 4.2 on, a flag for a null value follows the type.
        if (!type || depth > kMaxDepth || (m_qt5 && !take(1)))
            return false;
        // Qt 4 numbered the types from 128 on 97 higher.
        switch (!m_qt5 && *type >= 128 ? *type - 97 : *type) {
        case 0: // no value: by Qt 4's rules, an empty text follows
            return m_qt5 || bytes();
        case QMetaType::QString:
        case QMetaType::QByteArray:
        case QMetaType::QUrl:
            return bytes();
        case QMetaType::Bool:
        case QMetaType::Char:
        case QMetaType::UChar:
            return take(1);
        case QMetaType::QChar:
        case QMetaType::Short:
        case QMetaType::UShort:
            return take(2);
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::QTime:
            return take(4);
        // A day number, and a float at double precision, take eight bytes from Qt 5 on.
        case QMetaType::QDate:
        case QMetaType::Float:
            return take(m_qt5 ? 8 : 4);
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::Double:
        case QMetaType::QSize:
        case QMetaType::QPoint:
            return take(8);
        case QMetaType::QDateTime:
            return dateTime();
        case QMetaType::QRect:
        case QMetaType::QSizeF:
        case QMetaType::QPointF:
        case QMetaType::QLine:
            return take(16);
        case QMetaType::QRectF:
        case QMetaType::QLineF:
            return take(32);
        case QMetaType::QBitArray: {
            const auto bits = number();
            return bits && take(qsizetype(*bits / 8 + (*bits % 8 != 0)));
        }
        case QMetaType::QStringList:
            return items(4, [&] { return bytes(); });
        case QMetaType::QVariantList:
            return items(4, [&] { return variant(depth + 1); });
        case QMetaType::QVariantMap:
        case QMetaType::QVariantHash:
            return items(8, [&] { return bytes() && variant(depth + 1); });
        default:
            return false;
        }
    }

    QByteArrayView m_bytes;
    bool m_qt5;
    qsizetype m_pos = 0;
};

// Sets `unreadable` when a streamed value could not be read whole.
QVariant stringToVariant(const QString& s, bool& unreadable) {
    if (!s.startsWith(QLatin1Char('@')))
        return s;
    if (s.endsWith(QLatin1Char(')'))) {
        const auto inner = [&](qsizetype prefix) { return QStringView(s).sliced(prefix).chopped(1); };
        if (s.startsWith(QLatin1StringView("@ByteArray(")))
            return inner(11).toLatin1();
        if (s.startsWith(QLatin1StringView("@String(")))
            return inner(8).toString();
        if (s.startsWith(QLatin1StringView("@Variant(")) || s.startsWith(QLatin1StringView("@DateTime("))) {
            const bool dateTime = s.startsWith(QLatin1StringView("@DateTime("));
            QByteArray bytes = inner(dateTime ? 10 : 9).toLatin1();
            const QDataStream::Version version = dateTime ? QDataStream::Qt_5_6 : QDataStream::Qt_4_0;
            if (!StreamedLengths(bytes, version).fit()) {
                unreadable = true;
                return QVariant();
            }
            QDataStream stream(&bytes, QIODevice::ReadOnly);
            stream.setVersion(version);
            QVariant value;
            stream >> value;
            unreadable = unreadable || stream.status() != QDataStream::Ok;
            return value;
        }
        // Split at every single space; a ')' inside ends a number too but keeps it for the next.
        const auto numbers = [&](qsizetype prefix) {
            QList<int> result;
            QString item;
            for (const QChar c : QStringView(s).sliced(prefix)) {
                if (c == QLatin1Char(')')) {
                    result << item.toInt();
                } else if (c == QLatin1Char(' ')) {
                    result << item.toInt();
                    item.clear();
                } else {
                    item += c;
                }
            }
            return result;
        };
        if (s.startsWith(QLatin1StringView("@Rect("))) {
            const auto n = numbers(6);
            if (n.size() == 4)
                return QRect(n[0], n[1], n[2], n[3]);
        } else if (s.startsWith(QLatin1StringView("@Size("))) {
            const auto n = numbers(6);
            if (n.size() == 2)
                return QSize(n[0], n[1]);
        } else if (s.startsWith(QLatin1StringView("@Point("))) {
            const auto n = numbers(7);
            if (n.size() == 2)
                return QPoint(n[0], n[1]);
        } else if (s == QLatin1StringView("@Invalid()")) {
            // How an empty list is written; Qt reads it back as no value.
            return QVariant();
        }
    }
    if (s.startsWith(QLatin1StringView("@@")))
        return s.sliced(1);
    return s;
}

// Texts, with "@@" taken for a literal '@', unless an item starts with a single '@': then every item
// is a value of its own.
QVariant listToVariant(const QStringList& list, bool& unreadable) {
    QStringList texts = list;
    for (QString& item : texts) {
        if (!item.startsWith(QLatin1Char('@')))
            continue;
        if (!item.startsWith(QLatin1StringView("@@"))) {
            QVariantList variants;
            variants.reserve(list.size());
            for (const QString& each : list)
                variants << stringToVariant(each, unreadable);
            return variants;
        }
        item.remove(0, 1);
    }
    return texts;
}

// The next logical line: quotes and backslash-newline continue it, a ';' outside quotes ends it.
bool nextLine(QByteArrayView data, qsizetype& pos, qsizetype& start, qsizetype& length, qsizetype& equals) {
    const qsizetype size = data.size();
    bool inQuotes = false;
    equals = -1;
    start = pos;
    while (start < size &&
           (data[start] == ' ' || data[start] == '\t' || data[start] == '\n' || data[start] == '\r'))
        ++start;
    qsizetype i = start;
    while (i < size) {
        const char ch = data[i++];
        if (ch == '=') {
            if (!inQuotes && equals == -1)
                equals = i - 1;
        } else if (ch == '\n' || ch == '\r') {
            if (!inQuotes) {
                --i;
                break;
            }
        } else if (ch == '\\') {
            if (i < size) {
                const char next = data[i++];
                if (i < size && ((next == '\n' && data[i] == '\r') || (next == '\r' && data[i] == '\n')))
                    ++i;
            }
        } else if (ch == '"') {
            inQuotes = !inQuotes;
        } else if (ch == ';') {
            if (i == start + 1) {
                // A comment line.
                while (i < size && data[i] != '\n' && data[i] != '\r')
                    ++i;
                while (i < size && (data[i] == ' ' || data[i] == '\t' || data[i] == '\n' || data[i] == '\r'))
                    ++i;
                start = i;
            } else if (!inQuotes) {
                --i;
                break;
            }
        }
    }
    pos = i;
    // Skip what follows a cut-off ';' up to the end of the line.
    if (pos < size && data[pos] == ';') {
        while (pos < size && data[pos] != '\n' && data[pos] != '\r')
            ++pos;
    }
    length = i - start;
    return length > 0;
}

} // namespace

QSettings::Format IniFormat::format() {
    static const QSettings::Format registered = QSettings::registerFormat(
        QStringLiteral("conf"), &IniFormat::read, &IniFormat::write, Qt::CaseSensitive);
    return registered;
}

QByteArray IniFormat::encode(const QSettings::SettingsMap& map) {
    qsizetype estimate = 16;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        estimate += it.key().size() + 8 +
                    (it.value().typeId() == QMetaType::QString ? it.value().toString().size() * 2 : 32);
    QByteArray out;
    out.reserve(estimate);
    out += "[General]\n";
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        appendKey(it.key(), out);
        out += '=';
        appendValue(it.value(), out);
        out += '\n';
    }
    return out;
}

bool IniFormat::decode(QByteArrayView data, QSettings::SettingsMap& map) {
    if (data.startsWith("\xef\xbb\xbf"))
        data = data.sliced(3);
    bool ok = true;
    QString section;
    qsizetype pos = 0, start = 0, length = 0, equals = -1;
    while (nextLine(data, pos, start, length, equals)) {
        const QByteArrayView line = data.sliced(start, length);
        if (line.startsWith('[')) {
            const qsizetype close = line.indexOf(']');
            if (close < 0)
                ok = false;
            const QByteArray name =
                (close < 0 ? line.sliced(1) : line.sliced(1, close - 1)).toByteArray().trimmed();
            if (name.compare("general", Qt::CaseInsensitive) == 0) {
                section.clear();
            } else {
                section = name.compare("%general", Qt::CaseInsensitive) == 0
                              ? QString::fromLatin1(name.mid(1))
                              : unescapeKey(name);
                section += QLatin1Char('/');
            }
            continue;
        }
        if (equals < 0) {
            ok = false;
            continue;
        }
        const QByteArray keyText = data.sliced(start, equals - start).toByteArray().trimmed();
        const QString key = section + unescapeKey(keyText);
        QString text;
        QStringList list;
        const QByteArrayView value = data.sliced(equals + 1, start + length - equals - 1);
        bool unreadable = false;
        QVariant read = unescapeValue(value, text, list) ? listToVariant(list, unreadable)
                                                         : stringToVariant(text, unreadable);
        if (unreadable) {
            QByteArray asRead = value.toByteArray();
            // A lone backslash at the very end would join the next line to it once written back.
            qsizetype backslashes = 0;
            while (backslashes < asRead.size() && asRead[asRead.size() - 1 - backslashes] == '\\')
                ++backslashes;
            if (backslashes % 2 == 1)
                asRead.chop(1);
            read = QVariant::fromValue(Unreadable{read, asRead});
        }
        map.insert(key, read);
    }
    return ok;
}

namespace {
bool g_readDamage = false;
}

bool IniFormat::read(QIODevice& device, QSettings::SettingsMap& map) {
    if (!decode(device.readAll(), map))
        g_readDamage = true;
    for (QVariant& value : map)
        value = readable(value);
    return true;
}

QVariant IniFormat::readable(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<Unreadable>())
        return value.value<Unreadable>().value;
    return value;
}

bool IniFormat::takeReadDamage() {
    return std::exchange(g_readDamage, false);
}

bool IniFormat::write(QIODevice& device, const QSettings::SettingsMap& map) {
    const QByteArray bytes = encode(map);
    return device.write(bytes) == bytes.size();
}

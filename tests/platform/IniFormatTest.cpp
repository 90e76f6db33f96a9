#include "platform/IniFormat.h"

#include <QDataStream>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QRandomGenerator>
#include <QRect>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

namespace {

std::string describe(const QVariant& value) {
    QString text;
    QDebug(&text).nospace() << value;
    return text.toStdString();
}

// Every key of a file and its value, read through QSettings in `format`, one per line. From a copy of
// its own: QSettings keeps what it read or wrote of a path, whichever format did.
std::string readCopy(const QString& path, const QString& copy, QSettings::Format format) {
    EXPECT_TRUE(QFile::copy(path, copy));
    QSettings settings(copy, format);
    std::string result;
    for (const QString& key : settings.allKeys())
        result += key.toStdString() + " = " + describe(settings.value(key)) + "\n";
    return result;
}

using Settings = QList<std::pair<QString, QVariant>>;

std::string fileText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string("(unreadable)");
}

// Writes the settings with Qt's INI code and with ours, reads each file with both, and checks the
// readings against Qt's reading of its own file, which it returns.
std::string expectReadAlike(const Settings& written, const QTemporaryDir& dir, const QString& name) {
    const QString qtPath = dir.filePath(name + QStringLiteral(".ini"));
    const QString ourPath = dir.filePath(name + QStringLiteral(".conf"));
    {
        QSettings qt(qtPath, QSettings::IniFormat);
        QSettings ours(ourPath, IniFormat::format());
        for (const auto& [key, value] : written) {
            qt.setValue(key, value);
            ours.setValue(key, value);
        }
    }
    const auto read = [&](const QString& path, QSettings::Format format, const char* as) {
        return readCopy(path, dir.filePath(name + QLatin1StringView(as)), format);
    };
    const std::string expected = read(qtPath, QSettings::IniFormat, "-qt-by-qt.ini");
    const std::string oursByOurs = read(ourPath, IniFormat::format(), "-ours-by-ours.conf");
    EXPECT_EQ(read(qtPath, IniFormat::format(), "-qt-by-ours.conf"), expected) << "Qt's file, read by ours:\n"
                                                                               << fileText(qtPath);
    EXPECT_EQ(read(ourPath, QSettings::IniFormat, "-ours-by-qt.ini"), oursByOurs) << "our file, read by Qt:\n"
                                                                                  << fileText(ourPath);
    EXPECT_EQ(oursByOurs, expected) << "our file read by ours, Qt's by Qt:\n"
                                    << fileText(ourPath) << "\n"
                                    << fileText(qtPath);
    return expected;
}

// Texts made of pieces that are plain, escaped, quoted, trimmed, or special to a reader somewhere.
class RandomSettings {
public:
    explicit RandomSettings(quint32 seed)
        : m_random(seed) {}

    QString text(int maxPieces) {
        static const QStringList pieces =
            QStringLiteral("a|Zz|0|7f|e| |  |\t|\n|\r\n|\x01|\x1f|\x7f|\"|\\|,|, |;|=|@|@@|@Invalid()|"
                           "@ByteArray(x)|@String(|@Rect(1 2 3 4)|@Size(5 6)|(|)|[General]|%|%41|/|\\x|x2c|"
                           "é|中文|😀|\uFEFF|\uFFFD")
                .split(QLatin1Char('|'))
            << QString(QChar(0));
        return pick(pieces, int(m_random.bounded(maxPieces + 1)));
    }

    QString key() {
        static const QStringList pieces =
            QStringLiteral("k|Key|9|_|-|.| |%|=|;|[|]|\"|,|@|#|/|\\|ü|中|General").split(QLatin1Char('|'));
        return QStringLiteral("k") + pick(pieces, int(m_random.bounded(5))) +
               QString::number(m_random.bounded(100));
    }

    QVariant value() {
        switch (m_random.bounded(10)) {
        case 0: {
            QStringList list;
            for (int n = int(m_random.bounded(4)); n > 0; --n)
                list << text(3);
            return list;
        }
        case 1:
            return QVariantList{text(2), int(m_random.bounded(1000)) - 500};
        case 2: {
            QByteArray bytes;
            for (int n = int(m_random.bounded(8)); n > 0; --n)
                bytes += char(m_random.bounded(256));
            return bytes;
        }
        case 3:
            return int(m_random.generate());
        case 4:
            return m_random.bounded(2) == 1;
        case 5:
            return m_random.generateDouble() * 1e6;
        case 6:
            return QRect(int(m_random.bounded(100)) - 50, 2, 3, int(m_random.bounded(100)));
        case 7:
            return QDateTime::fromMSecsSinceEpoch(qint64(m_random.bounded(2000000000)) * 1000, Qt::UTC);
        default:
            return text(8);
        }
    }

private:
    QString pick(const QStringList& pieces, int count) {
        QString result;
        for (; count > 0; --count)
            result += pieces.at(m_random.bounded(int(pieces.size())));
        return result;
    }

    QRandomGenerator m_random;
};

} // namespace

// Files written by our INI code read back through QSettings exactly as Qt's own files do, and the other
// way round, for every kind of key and value the settings hold.
TEST(IniFormat, InterchangeableWithQtsIniFilesBothWays) {
    const QString nul = QStringLiteral("a") + QChar(0) + QStringLiteral("1b");
    const Settings cases = {
        {"plain", QStringLiteral("hello")},
        {"empty", QString()},
        {"json", QStringLiteral(R"([{"id":"6F96","sourceText":"a, b; c = d","date":786000000.25}])")},
        {"spaces", QStringLiteral("  padded  ")},
        {"quotes", QStringLiteral(R"(say "hi" \ back\slash)")},
        {"controls", QStringLiteral("line\nbreak\ttab\r\x01"
                                    "1f\x02z")},
        {"nul", nul},
        {"unicode", QString::fromUtf8("çğış öü 中文 emoji 😀 ≠")},
        {"at", QStringLiteral("@ByteArray(not bytes)")},
        {"bool", true},
        {"int", 42},
        {"long", qint64(9007199254740993)},
        {"double", 0.1 + 0.2},
        {"bytes", QByteArray("\x00\x01\x7f\x80\xff{\"k\":1}0a", 15)},
        {"utf8 bytes", QString::fromUtf8("[\"çay\"]").toUtf8()},
        {"list", QStringList({"a", "b, c", " d ", ""})},
        {"empty list", QStringList()},
        {"map", QVariantMap({{"x", 1}, {"y", QStringLiteral("z")}})},
        {"rect", QRect(1, 2, 3, 4)},
        {"date", QDateTime::fromMSecsSinceEpoch(1765000000000, Qt::UTC)},
        {"with/slash key", QStringLiteral("v")},
        {QString::fromUtf8("ünïcode key %"), QStringLiteral("v")},
        {"General", QStringLiteral("g")},
        {"tab at the end", QStringLiteral("abc\t")},
        {"spaces and a tab at the end", QStringLiteral("ab  \t")},
        {"list with a tab", QStringList({"x\t", "y"})},
        {"byte-order marks after an escape and a quote",
         QStringList({QString::fromUtf8("a\n\uFEFFb\"\uFEFFc"), QString::fromUtf8("\uFEFFd ")})},
        {"list items starting with @", QStringList({"@a", "@@b", "c"})},
    };
    QTemporaryDir dir;
    const std::string qtReading = expectReadAlike(cases, dir, QStringLiteral("table"));
    for (const auto& [key, value] : cases) {
        if (value.typeId() == QMetaType::QString) {
            EXPECT_NE(qtReading.find(key.toStdString() + " = " + describe(value) + "\n"), std::string::npos)
                << key.toStdString() << " kept by Qt";
        }
    }

    // Keys QSettings never makes, but a file can hold, stay where both readers find them.
    const QSettings::SettingsMap odd{{"y/", "1"}, {"s/z/", "2"}, {"/", "3"}};
    const QString oddPath = dir.filePath(QStringLiteral("odd.conf"));
    QFile oddFile(oddPath);
    ASSERT_TRUE(oddFile.open(QIODevice::WriteOnly));
    ASSERT_TRUE(IniFormat::write(oddFile, odd));
    oddFile.close();
    const auto read = [&](QSettings::Format format, const char* as) {
        return readCopy(oddPath, dir.filePath(QLatin1StringView(as)), format);
    };
    EXPECT_EQ(read(QSettings::IniFormat, "odd-by-qt.ini"),
              "/ = QVariant(Invalid)\ns/z/ = QVariant(Invalid)\ny/ = QVariant(Invalid)\n");
    EXPECT_EQ(read(IniFormat::format(), "odd-by-ours.conf"), read(QSettings::IniFormat, "odd-by-qt2.ini"));
}

// Random keys and values written by Qt's INI code and by ours; each file read by both. Every reading
// matches Qt's reading of its own file, but for a value our file keeps where Qt's loses it.
TEST(IniFormat, RandomSettingsReadAlikeWhoeverWritesAndReads) {
    RandomSettings random(20261207);
    QTemporaryDir dir;
    for (int round = 0; round < 15 && !HasFailure(); ++round) {
        Settings written;
        for (int n = 0; n < 100; ++n)
            written.append({random.key(), random.value()});
        expectReadAlike(written, dir, QString::number(round));
    }
}

namespace {

QByteArray streamed(std::initializer_list<quint32> numbers, QByteArrayView tail = {}) {
    QByteArray bytes;
    for (const quint32 n : numbers) {
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes += char((n >> shift) & 0xFF);
    }
    return bytes + tail.toByteArray();
}

// A value as Qt streams it into a "@DateTime(" value.
QByteArray streamed56(const QVariant& value) {
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream.setVersion(QDataStream::Qt_5_6);
    stream << value;
    return bytes;
}

// A list of lists `depth` deep around a number, streamed by Qt 4.0's rules.
QByteArray nestedLists(int depth) {
    QByteArray bytes;
    for (int i = 0; i < depth; ++i)
        bytes += streamed({QMetaType::QVariantList, 1});
    return bytes + streamed({QMetaType::Int, 7});
}

} // namespace

// A stored value whose stream declares more items or bytes than it holds, or nests too deep, reads as no
// value, before Qt makes room for them; well-formed values of the same kinds read as Qt reads them. Qt
// reads a "@DateTime(" value as a stream of any kind of value too, by Qt 5.6's rules.
TEST(IniFormat, DeclaredLengthsBeyondAValuesOwnBytesAreRefused) {
    const QByteArray a = QByteArray("\0a", 2);
    const QByteArray notNull(1, '\0');
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(1765000000000, Qt::UTC);
    struct Case {
        const char* name;
        QByteArray stream;
        QVariant expected;
        const char* prefix = "@Variant(";
        // Refused though Qt's reader makes a value of it.
        bool refused = !expected.isValid();
    };
    const Case cases[] = {
        {"list", streamed({QMetaType::QVariantList, 0x7FFFFFFF}), QVariant()},
        {"text list", streamed({QMetaType::QStringList, 0xFFFFFFF0}), QVariant()},
        {"map", streamed({QMetaType::QVariantMap, 0x7FFFFFFF}), QVariant()},
        {"list in a list", streamed({QMetaType::QVariantList, 1, QMetaType::QVariantList, 0x40000000}),
         QVariant()},
        {"text", streamed({QMetaType::QString, 0x7FFFFFF0}, a), QVariant()},
        {"unknown kind", streamed({127, 0x10}, "0123456789abcdef"), QVariant()},
        // Its lengths fit; only the stream tells an odd number of bytes for a UTF-16 text.
        {"text of an odd length", streamed({QMetaType::QString, 3}, "abc"), QString(), "@Variant(", true},
        {"good list",
         streamed({QMetaType::QVariantList, 2, QMetaType::QString, 2}, a + streamed({QMetaType::Int, 5})),
         QVariantList{QStringLiteral("a"), 5}},
        {"good map", streamed({QMetaType::QVariantMap, 1, 2}, a + streamed({QMetaType::Bool}, "\1")),
         QVariantMap{{QStringLiteral("a"), true}}},
        {"lists nested too deep", nestedLists(100), QVariant()},
        {"lists nested deep", nestedLists(20),
         [] {
             QVariant value = 7;
             for (int i = 0; i < 20; ++i)
                 value = QVariantList{value};
             return value;
         }()},
        {"list in a date", streamed({QMetaType::QVariantList}, notNull + streamed({0x45245A26})), QVariant(),
         "@DateTime("},
        {"text in a date", streamed({QMetaType::QString}, notNull + streamed({0x7FFFFFF0}, a)), QVariant(),
         "@DateTime("},
        {"zone name beyond a date's bytes",
         streamed56(QDateTime(when.date(), when.time(), QTimeZone("UTC+03:00"))).chopped(22) +
             streamed({0x7FFFFFF0}),
         QVariant(), "@DateTime("},
        {"good date", streamed56(when), when, "@DateTime("},
        {"good date at an offset", streamed56(when.toOffsetFromUtc(3600)), when.toOffsetFromUtc(3600),
         "@DateTime("},
        {"good date in a zone", streamed56(when.toTimeZone(QTimeZone("UTC+03:00"))),
         when.toTimeZone(QTimeZone("UTC+03:00")), "@DateTime("},
        {"good date in a zone of our own",
         streamed56(when.toTimeZone(QTimeZone("Custom/Zone", 3600, "n", "a"))),
         when.toTimeZone(QTimeZone("Custom/Zone", 3600, "n", "a")), "@DateTime("},
        {"good list in a date", streamed56(QVariantList{1.5f, QDate(2026, 12, 8), QString()}),
         QVariantList{1.5f, QDate(2026, 12, 8), QString()}, "@DateTime("},
    };
    QByteArray file = "[General]\n";
    QHash<QString, QByteArray> values;
    for (const Case& c : cases) {
        QByteArray value = c.prefix;
        for (const char byte : c.stream)
            value += "\\x" + QByteArray::number(uchar(byte), 16).rightJustified(2, '0');
        value += ")";
        values.insert(QString::fromLatin1(c.name), value);
        file += QByteArray(c.name).replace(' ', '_') + "=" + value + "\n";
    }
    QSettings::SettingsMap map;
    IniFormat::decode(file, map);
    // Written back, a refused value keeps the bytes it had, so that saving other settings loses nothing.
    const QByteArray written = IniFormat::encode(map);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString key = QString::fromLatin1(c.name).replace(QLatin1Char(' '), QLatin1Char('_'));
        ASSERT_TRUE(map.contains(key));
        EXPECT_EQ(describe(IniFormat::readable(map.value(key))), describe(c.expected));
        if (c.refused) {
            EXPECT_TRUE(written.contains("=" + values.value(QString::fromLatin1(c.name)) + "\n"))
                << written.constData();
        }
    }
}

#include "platform/IniFormat.h"

#include <QDateTime>
#include <QFile>
#include <QRect>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QVariant readWithQt(const QString& path, const QString& key) {
    return QSettings(path, QSettings::IniFormat).value(key);
}

} // namespace

// Files written by our INI code read back through QSettings exactly as Qt's own files do, and the other
// way round, for every kind of key and value the settings hold.
TEST(IniFormat, InterchangeableWithQtsIniFilesBothWays) {
    const QString nul = QStringLiteral("a") + QChar(0) + QStringLiteral("1b");
    const QList<std::pair<QString, QVariant>> cases = {
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
    };
    QTemporaryDir dir;
    int n = 0;
    for (const auto& [key, value] : cases) {
        SCOPED_TRACE(key.toStdString());
        const QString qtPath = dir.filePath(QStringLiteral("qt%1.conf").arg(n));
        const QString ourPath = dir.filePath(QStringLiteral("our%1.conf").arg(n++));
        {
            QSettings qt(qtPath, QSettings::IniFormat);
            qt.setValue(key, value);
            QSettings ours(ourPath, IniFormat::format());
            ours.setValue(key, value);
        }
        const QVariant expected = readWithQt(qtPath, key);
        ASSERT_TRUE(expected.isValid() || value.toStringList().isEmpty());
        EXPECT_EQ(readWithQt(ourPath, key), expected) << "ours, read by Qt";

        QFile qtFile(qtPath);
        ASSERT_TRUE(qtFile.open(QIODevice::ReadOnly));
        QSettings::SettingsMap map;
        EXPECT_TRUE(IniFormat::decode(qtFile.readAll(), map));
        EXPECT_EQ(map.value(key), expected) << "Qt's, read by ours";
    }
}

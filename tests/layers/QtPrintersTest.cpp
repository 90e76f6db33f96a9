// Failures name Qt values as text, not as their bytes.
#include <QStringList>
#include <QVariantList>
#include <gtest/gtest.h>

TEST(QtPrinters, StringsByteArraysVariantsAndTheirListsPrintAsText) {
    EXPECT_EQ(testing::PrintToString(QStringLiteral("héllo")), "\"héllo\"");
    EXPECT_EQ(testing::PrintToString(QStringList{QStringLiteral("a"), QStringLiteral("ı")}),
              "{ \"a\", \"ı\" }");
    EXPECT_EQ(testing::PrintToString(QByteArray("a\"\n\xff", 4)), "\"a\\x22\\x0a\\xff\"");
    EXPECT_EQ(testing::PrintToString(QVariant(true)), "QVariant(bool, true)");
    EXPECT_EQ(testing::PrintToString(QVariantList{QStringLiteral("x"), 2}),
              "{ QVariant(QString, \"x\"), QVariant(int, 2) }");
}

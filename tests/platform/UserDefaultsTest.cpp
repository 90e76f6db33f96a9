#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

class UserDefaultsTest : public ::testing::Test {
protected:
    QString path() const { return m_dir.filePath(QStringLiteral("Quillora/Quillora.conf")); }
    QTemporaryDir m_dir;
};

TEST_F(UserDefaultsTest, MissingValuesFollowTheConventions) {
    UserDefaults defaults(path());
    EXPECT_FALSE(defaults.boolean(QStringLiteral("showFloatingBar")));
    EXPECT_FALSE(defaults.optionalString(QStringLiteral("defaultSourceLanguage")).has_value());
    EXPECT_TRUE(defaults.string(QStringLiteral("defaultSourceLanguage")).isEmpty());
    EXPECT_EQ(defaults.integer(QStringLiteral("count")), 0);
    EXPECT_TRUE(defaults.data(QStringLiteral("translationHistory")).isEmpty());
    EXPECT_FALSE(defaults.object(QStringLiteral("anything")).isValid());
}

TEST_F(UserDefaultsTest, RegisteredDefaultsAnswerButAreNeitherStoredNorWritten) {
    UserDefaults defaults(path());
    defaults.registerDefaults({{QStringLiteral("showInDock"), true}, {QStringLiteral("interfaceLanguage"), QStringLiteral("en")}});

    EXPECT_TRUE(defaults.boolean(QStringLiteral("showInDock")));
    EXPECT_EQ(defaults.string(QStringLiteral("interfaceLanguage")), QStringLiteral("en"));
    EXPECT_FALSE(defaults.contains(QStringLiteral("showInDock")));

    defaults.set(QStringLiteral("showInDock"), false);
    EXPECT_TRUE(defaults.contains(QStringLiteral("showInDock")));
    EXPECT_FALSE(defaults.boolean(QStringLiteral("showInDock")));

    defaults.remove(QStringLiteral("showInDock"));
    EXPECT_TRUE(defaults.boolean(QStringLiteral("showInDock"))) << "the registered default answers again";

    UserDefaults reopened(path());
    EXPECT_FALSE(reopened.contains(QStringLiteral("interfaceLanguage")));
}

TEST_F(UserDefaultsTest, ValuesPersistWithTheirTypesAcrossInstances) {
    const QByteArray json = R"([{"id":"A","sourceText":"a=b; c"}])";
    {
        UserDefaults defaults(path());
        defaults.set(QStringLiteral("alwaysOnTop"), true);
        defaults.set(QStringLiteral("hasEverLaunched"), false);
        defaults.set(QStringLiteral("defaultTargetLanguage"), QStringLiteral("zh-cn"));
        defaults.set(QStringLiteral("excludedApps"), QStringLiteral("org.gnome.Terminal,firefox"));
        defaults.set(QStringLiteral("favoriteTranslations"), json);
        defaults.set(QStringLiteral("count"), 42);
    }
    UserDefaults reopened(path());
    EXPECT_TRUE(reopened.boolean(QStringLiteral("alwaysOnTop")));
    EXPECT_TRUE(reopened.contains(QStringLiteral("hasEverLaunched")));
    EXPECT_FALSE(reopened.boolean(QStringLiteral("hasEverLaunched")));
    EXPECT_EQ(reopened.string(QStringLiteral("defaultTargetLanguage")), QStringLiteral("zh-cn"));
    EXPECT_EQ(reopened.string(QStringLiteral("excludedApps")), QStringLiteral("org.gnome.Terminal,firefox"));
    EXPECT_EQ(reopened.data(QStringLiteral("favoriteTranslations")), json);
    EXPECT_EQ(reopened.integer(QStringLiteral("count")), 42);
}

TEST_F(UserDefaultsTest, ChangedSignalNamesTheKey) {
    UserDefaults defaults(path());
    QSignalSpy spy(&defaults, &UserDefaults::changed);
    defaults.set(QStringLiteral("alwaysOnTop"), true);
    defaults.remove(QStringLiteral("alwaysOnTop"));
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(0).at(0).toString(), QStringLiteral("alwaysOnTop"));
    EXPECT_EQ(spy.at(1).at(0).toString(), QStringLiteral("alwaysOnTop"));
}

TEST_F(UserDefaultsTest, CorruptFileGivesDefaults) {
    QDir().mkpath(m_dir.filePath(QStringLiteral("Quillora")));
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[General]\nshowInDock=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x12garbage\ncount=twelve\n");
        file.write(QByteArray("\xff\xfe\x00\x01=\n[[[\n", 10));
    }
    UserDefaults defaults(path());
    defaults.registerDefaults({{QStringLiteral("showInDock"), true}, {QStringLiteral("count"), 7}});
    EXPECT_TRUE(defaults.boolean(QStringLiteral("showInDock")));
    EXPECT_EQ(defaults.integer(QStringLiteral("count")), 7);
    defaults.set(QStringLiteral("alwaysOnTop"), true);
    EXPECT_TRUE(defaults.boolean(QStringLiteral("alwaysOnTop")));
}

TEST_F(UserDefaultsTest, FileCutOffInASectionHeaderKeepsEveryValueReadAndTheDamagedFile) {
    QDir().mkpath(m_dir.filePath(QStringLiteral("Quillora")));
    const QByteArray damaged = "[General]\nshowInDock=false\ndefaultTargetLanguage=de\nexcludedApps=a,b\n[Gen";
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(damaged);
    }
    {
        UserDefaults defaults(path());
        defaults.registerDefaults({{QStringLiteral("showInDock"), true}});
        EXPECT_FALSE(defaults.boolean(QStringLiteral("showInDock")));
        EXPECT_EQ(defaults.string(QStringLiteral("defaultTargetLanguage")), QStringLiteral("de"));
        // An unquoted list reads as the text that was written.
        EXPECT_EQ(defaults.string(QStringLiteral("excludedApps")), QStringLiteral("a,b"));
        EXPECT_FALSE(defaults.isUnreadableString(QStringLiteral("excludedApps")));
    }
    const QStringList aside = QDir(m_dir.filePath(QStringLiteral("Quillora")))
                                  .entryList({QStringLiteral("Quillora.conf.corrupt-*")}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    QFile kept(m_dir.filePath(QStringLiteral("Quillora/") + aside.first()));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), damaged);

    QSettings clean(path(), QSettings::IniFormat);
    EXPECT_EQ(clean.status(), QSettings::NoError);
    EXPECT_EQ(clean.value(QStringLiteral("defaultTargetLanguage")).toString(), QStringLiteral("de"));
}

TEST_F(UserDefaultsTest, AnythingButARegularFileAtThePathIsNeverOpened) {
    QDir().mkpath(m_dir.filePath(QStringLiteral("Quillora")));
    ASSERT_EQ(mkfifo(QFile::encodeName(path()).constData(), 0600), 0);
    // Opening the FIFO would block this thread until a writer came.
    UserDefaults defaults(path());
    EXPECT_FALSE(defaults.contains(QStringLiteral("showInDock")));
    defaults.set(QStringLiteral("showInDock"), true);
    EXPECT_TRUE(defaults.boolean(QStringLiteral("showInDock")));
    EXPECT_TRUE(defaults.allKeys().contains(QStringLiteral("showInDock")));
    defaults.remove(QStringLiteral("showInDock"));
    EXPECT_FALSE(defaults.contains(QStringLiteral("showInDock")));
    EXPECT_FALSE(QFileInfo(path()).isFile());
}

TEST_F(UserDefaultsTest, NumbersNoIntegerOrDoubleCanHoldGiveTheDefaults) {
    UserDefaults defaults(path());
    defaults.registerDefaults({{QStringLiteral("size"), 14}, {QStringLiteral("ratio"), 0.5}});
    defaults.set(QStringLiteral("size"), QStringLiteral("1e300"));
    defaults.set(QStringLiteral("ratio"), QStringLiteral("nan"));
    EXPECT_EQ(defaults.integer(QStringLiteral("size")), 14);
    EXPECT_EQ(defaults.doubleValue(QStringLiteral("ratio")), 0.5);
    defaults.set(QStringLiteral("size"), QStringLiteral("-3.7"));
    EXPECT_EQ(defaults.integer(QStringLiteral("size")), -3);
}

TEST_F(UserDefaultsTest, UnparsableBooleanTextIsFalse) {
    UserDefaults defaults(path());
    defaults.set(QStringLiteral("showFloatingBar"), QStringLiteral("maybe"));
    EXPECT_FALSE(defaults.boolean(QStringLiteral("showFloatingBar")));
    defaults.set(QStringLiteral("showFloatingBar"), QStringLiteral("YES"));
    EXPECT_TRUE(defaults.boolean(QStringLiteral("showFloatingBar")));
}

} // namespace

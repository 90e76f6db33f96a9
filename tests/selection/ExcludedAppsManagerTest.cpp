#include "selection/ExcludedAppsManager.h"

#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "platform/UserDefaults.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

const QString kKey = QStringLiteral("excludedApps");

class ExcludedAppsManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        NotificationCenter::shared().addObserver(Notifications::ExcludedAppsChanged, &m_context,
                                                 [this](const QVariantMap& info) { m_posts.append(info); });
    }
    QString stored() const { return UserDefaults::standard().string(kKey); }
    QStringList postedApps(int i) const { return m_posts.at(i).value(QStringLiteral("apps")).toStringList(); }

    QObject m_context;
    QList<QVariantMap> m_posts;
};

TEST_F(ExcludedAppsManagerTest, AddStoresCommaJoinedListAndPostsOncePerSave) {
    EXPECT_TRUE(ExcludedAppsManager::loadExcludedApps().isEmpty());

    ExcludedAppsManager::addExcludedApp(QStringLiteral("org.gnome.TextEditor"));
    EXPECT_EQ(stored(), QStringLiteral("org.gnome.TextEditor"));
    ASSERT_EQ(m_posts.size(), 1);
    EXPECT_EQ(postedApps(0), QStringList{QStringLiteral("org.gnome.TextEditor")});
    EXPECT_EQ(m_posts.at(0).value(QStringLiteral("apps")).typeId(), QMetaType::QStringList);

    ExcludedAppsManager::addExcludedApp(QStringLiteral("firefox"));
    EXPECT_EQ(stored(), QStringLiteral("org.gnome.TextEditor,firefox"));
    ASSERT_EQ(m_posts.size(), 2);
    EXPECT_EQ(postedApps(1),
              (QStringList{QStringLiteral("org.gnome.TextEditor"), QStringLiteral("firefox")}));

    // Duplicates (compared case-sensitively) change nothing and post nothing.
    ExcludedAppsManager::addExcludedApp(QStringLiteral("firefox"));
    ExcludedAppsManager::addExcludedApp(QStringLiteral("org.gnome.TextEditor"));
    EXPECT_EQ(m_posts.size(), 2);
    ExcludedAppsManager::addExcludedApp(QStringLiteral("Firefox"));
    EXPECT_EQ(stored(), QStringLiteral("org.gnome.TextEditor,firefox,Firefox"));
    EXPECT_EQ(m_posts.size(), 3);
}

TEST_F(ExcludedAppsManagerTest, RoundTripSurvivesReopeningTheStore) {
    const QStringList apps{QStringLiteral("a.b"), QStringLiteral("c"), QStringLiteral("d.e.f")};
    ExcludedAppsManager::saveExcludedApps(apps);
    UserDefaults::setStandardFilePath(UserDefaults::standard().filePath());
    EXPECT_EQ(ExcludedAppsManager::loadExcludedApps(), apps);
}

TEST_F(ExcludedAppsManagerTest, LoadKeepsEmptyPartsOfTheStoredString) {
    UserDefaults::standard().set(kKey, QStringLiteral("a,,b"));
    EXPECT_EQ(ExcludedAppsManager::loadExcludedApps(), (QStringList{"a", "", "b"}));
    UserDefaults::standard().set(kKey, QStringLiteral("a,"));
    EXPECT_EQ(ExcludedAppsManager::loadExcludedApps(), (QStringList{"a", ""}));
    UserDefaults::standard().set(kKey, QString());
    EXPECT_TRUE(ExcludedAppsManager::loadExcludedApps().isEmpty());
    // A list value reads as its items, as if they had been joined with commas.
    UserDefaults::standard().set(kKey, QStringList{"x", "y"});
    EXPECT_EQ(ExcludedAppsManager::loadExcludedApps(), (QStringList{"x", "y"}));
}

TEST_F(ExcludedAppsManagerTest, RemoveTakesTheFirstOccurrenceAndIgnoresMissingIds) {
    UserDefaults::standard().set(kKey, QStringLiteral("a,b,a"));
    ExcludedAppsManager::removeExcludedApp(QStringLiteral("zzz"));
    EXPECT_TRUE(m_posts.isEmpty());
    EXPECT_EQ(stored(), QStringLiteral("a,b,a"));

    ExcludedAppsManager::removeExcludedApp(QStringLiteral("a"));
    EXPECT_EQ(stored(), QStringLiteral("b,a"));
    ExcludedAppsManager::removeExcludedApp(QStringLiteral("b"));
    ExcludedAppsManager::removeExcludedApp(QStringLiteral("a"));
    EXPECT_TRUE(UserDefaults::standard().contains(kKey));
    EXPECT_EQ(stored(), QString());
    ASSERT_EQ(m_posts.size(), 3);
    EXPECT_TRUE(postedApps(2).isEmpty());
}

TEST_F(ExcludedAppsManagerTest, IdWithCommaIsRefusedRatherThanSplitInTwo) {
    ExcludedAppsManager::addExcludedApp(QStringLiteral("good"));
    ExcludedAppsManager::addExcludedApp(QStringLiteral("bad,class"));
    EXPECT_EQ(ExcludedAppsManager::loadExcludedApps(), QStringList{QStringLiteral("good")});
    EXPECT_EQ(m_posts.size(), 1);
}

} // namespace

TEST_F(ExcludedAppsManagerTest, HandEditedListsAreReadAndUnreadableValuesNeverOverwritten) {
    // `excludedApps=a,b` without quotes, as a user would write it.
    const QString path = UserDefaults::standard().filePath();
    UserDefaults::standard().waitForWrites();
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[General]\nexcludedApps=org.gnome.TextEditor,firefox\n");
    }
    UserDefaults::setStandardFilePath(path);
    EXPECT_EQ(ExcludedAppsManager::loadExcludedApps(),
              QStringList({QStringLiteral("org.gnome.TextEditor"), QStringLiteral("firefox")}));
    ExcludedAppsManager::addExcludedApp(QStringLiteral("mousepad"));
    EXPECT_EQ(stored(), QStringLiteral("org.gnome.TextEditor,firefox,mousepad"));

    const QVariantMap unreadable{{QStringLiteral("nested"), 1}};
    UserDefaults::standard().set(kKey, unreadable);
    m_posts.clear();
    ExcludedAppsManager::addExcludedApp(QStringLiteral("mousepad"));
    ExcludedAppsManager::removeExcludedApp(QStringLiteral("firefox"));
    EXPECT_EQ(UserDefaults::standard().object(kKey).toMap(), unreadable);
    EXPECT_TRUE(m_posts.isEmpty());
}

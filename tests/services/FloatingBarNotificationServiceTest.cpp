#include "platform/NotificationCenter.h"
#include "services/FloatingBarNotificationService.h"

#include <QObject>
#include <gtest/gtest.h>

TEST(FloatingBarNotificationService, PostsTheSettingsNotifications) {
    QList<QPair<QString, QVariantMap>> posted;
    QObject context;
    for (const char* name : {"FloatingBarVisibilityChanged", "AlwaysOnTopChanged", "ExcludedAppsChanged"}) {
        const QString n = QString::fromLatin1(name);
        NotificationCenter::shared().addObserver(n, &context, [&posted, n](const QVariantMap& info) {
            posted.append({n, info});
        });
    }
    FloatingBarNotificationService::postVisibilityChanged(false);
    FloatingBarNotificationService::postAlwaysOnTopChanged(true);
    FloatingBarNotificationService::postExcludedAppsChanged({QStringLiteral("a.b")});
    ASSERT_EQ(posted.size(), 3);
    EXPECT_EQ(posted[0].second.value("value"), QVariant(false));
    EXPECT_EQ(posted[1].second.value("value"), QVariant(true));
    EXPECT_EQ(posted[2].second.value("apps").toStringList(), QStringList{QStringLiteral("a.b")});
}

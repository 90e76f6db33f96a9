#include "platform/NotificationCenter.h"
#include "platform/Notifications.h"
#include "services/FloatingBarNotificationService.h"

#include <QObject>
#include <gtest/gtest.h>

TEST(FloatingBarNotificationService, PostsTheSettingsNotifications) {
    QList<QPair<QString, QVariantMap>> posted;
    QObject context;
    for (const QString& name : {Notifications::FloatingBarVisibilityChanged,
                                Notifications::AlwaysOnTopChanged, Notifications::ExcludedAppsChanged}) {
        NotificationCenter::shared().addObserver(name, &context, [&posted, name](const QVariantMap& info) {
            posted.append({name, info});
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

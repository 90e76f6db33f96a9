#include "platform/NotificationCenter.h"

#include "TestUtils.h"

#include <QThread>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QString kName = QStringLiteral("TestNotification");

class NotificationCenterTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (auto token : m_tokens)
            NotificationCenter::shared().removeObserver(token);
    }
    NotificationCenter::Token observe(QObject* context, NotificationCenter::Handler handler,
                                      const QString& name = kName) {
        auto token = NotificationCenter::shared().addObserver(name, context, std::move(handler));
        m_tokens.push_back(token);
        return token;
    }
    std::vector<NotificationCenter::Token> m_tokens;
};

TEST_F(NotificationCenterTest, DeliversSynchronouslyInRegistrationOrderWithPayload) {
    QObject context;
    std::vector<int> order;
    QVariantMap received;
    observe(&context, [&](const QVariantMap&) { order.push_back(1); });
    observe(&context, [&](const QVariantMap& info) {
        order.push_back(2);
        received = info;
    });
    observe(&context, [&](const QVariantMap&) { order.push_back(99); }, QStringLiteral("OtherName"));
    observe(&context, [&](const QVariantMap&) { order.push_back(3); });

    NotificationCenter::shared().post(kName, {{QStringLiteral("value"), true}});

    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(received.value(QStringLiteral("value")), QVariant(true));
}

TEST_F(NotificationCenterTest, RemovalByTokenAndByContextDestruction) {
    int first = 0, second = 0, third = 0;
    QObject keep;
    auto token = observe(&keep, [&](const QVariantMap&) { ++first; });
    auto dying = std::make_unique<QObject>();
    observe(dying.get(), [&](const QVariantMap&) { ++second; });
    observe(nullptr, [&](const QVariantMap&) { ++third; });

    NotificationCenter::shared().removeObserver(token);
    dying.reset();
    NotificationCenter::shared().post(kName);

    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(third, 1);
    EXPECT_EQ(NotificationCenter::shared().observerCount(kName), 1);
}

TEST_F(NotificationCenterTest, ObserverRemovingAnotherDuringDeliverySkipsIt) {
    QObject context;
    int later = 0;
    NotificationCenter::Token second = 0;
    observe(&context, [&](const QVariantMap&) { NotificationCenter::shared().removeObserver(second); });
    second = observe(&context, [&](const QVariantMap&) { ++later; });

    NotificationCenter::shared().post(kName);
    EXPECT_EQ(later, 0);
}

TEST_F(NotificationCenterTest, ContextDestroyedByAnEarlierObserverIsNotCalled) {
    auto victim = std::make_unique<QObject>();
    int calls = 0;
    QObject owner;
    observe(&owner, [&](const QVariantMap&) { victim.reset(); });
    observe(victim.get(), [&](const QVariantMap&) { ++calls; });

    NotificationCenter::shared().post(kName);
    EXPECT_EQ(calls, 0);
}

TEST_F(NotificationCenterTest, RemoveObserversOfContext) {
    QObject a, b;
    int calls = 0;
    observe(&a, [&](const QVariantMap&) { ++calls; });
    observe(&a, [&](const QVariantMap&) { ++calls; });
    observe(&b, [&](const QVariantMap&) { calls += 10; });
    NotificationCenter::shared().removeObservers(&a);
    NotificationCenter::shared().post(kName);
    EXPECT_EQ(calls, 10);
}

TEST_F(NotificationCenterTest, PostFromAnotherThreadArrivesOnTheMainThread) {
    QObject context;
    QThread* deliveredOn = nullptr;
    QVariantMap payload;
    observe(&context, [&](const QVariantMap& info) {
        deliveredOn = QThread::currentThread();
        payload = info;
    });

    std::unique_ptr<QThread> worker(QThread::create(
        [] { NotificationCenter::shared().post(kName, {{QStringLiteral("text"), QStringLiteral("hi")}}); }));
    worker->start();
    worker->wait();

    EXPECT_EQ(deliveredOn, nullptr) << "must not run on the posting thread";
    ASSERT_TRUE(waitUntil([&] { return deliveredOn != nullptr; }));
    EXPECT_EQ(deliveredOn, QCoreApplication::instance()->thread());
    EXPECT_EQ(payload.value(QStringLiteral("text")).toString(), QStringLiteral("hi"));
}

} // namespace

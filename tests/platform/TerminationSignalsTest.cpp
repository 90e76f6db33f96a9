#include "TestUtils.h"
#include "platform/TerminationSignals.h"

#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

TEST(TerminationSignals, ReachTheMainThreadWhereverRaisedAndLeaveTheOldHandlersBehind) {
    struct sigaction before {};
    ::sigaction(SIGTERM, nullptr, &before);
    {
        TerminationSignals termination;
        ASSERT_TRUE(termination.isActive());
        QList<QPair<int, QThread*>> received;
        QObject::connect(&termination, &TerminationSignals::received, &termination,
                         [&](int signalNumber) { received.append({signalNumber, QThread::currentThread()}); });

        ::raise(SIGTERM);
        std::thread([] { ::kill(::getpid(), SIGINT); }).join();
        ASSERT_TRUE(waitUntil([&] { return received.size() == 2; }));
        EXPECT_EQ(received[0].first, SIGTERM);
        EXPECT_EQ(received[1].first, SIGINT);
        for (const auto& delivery : received)
            EXPECT_EQ(delivery.second, QThread::currentThread());

        // Only one owner of the handlers at a time.
        TerminationSignals second;
        EXPECT_FALSE(second.isActive());
    }
    struct sigaction after {};
    ::sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
}

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
    // Whatever the harness left for SIGHUP, it is as a shell gives it.
    struct sigaction hangup {};
    hangup.sa_handler = SIG_DFL;
    struct sigaction hangupBefore {};
    ::sigaction(SIGHUP, &hangup, &hangupBefore);
    {
        TerminationSignals termination;
        ASSERT_TRUE(termination.isActive());
        QList<QPair<int, QThread*>> received;
        QObject::connect(&termination, &TerminationSignals::received, &termination,
                         [&](int signalNumber) { received.append({signalNumber, QThread::currentThread()}); });

        ::raise(SIGTERM);
        std::thread([] { ::kill(::getpid(), SIGINT); }).join();
        ASSERT_TRUE(waitUntil([&] { return received.size() == 2; }));
        // The terminal closing: by default it would end the process without the quit's last write.
        ::raise(SIGHUP);
        ASSERT_TRUE(waitUntil([&] { return received.size() == 3; }));
        EXPECT_EQ(received[0].first, SIGTERM);
        EXPECT_EQ(received[1].first, SIGINT);
        EXPECT_EQ(received[2].first, SIGHUP);
        for (const auto& delivery : received)
            EXPECT_EQ(delivery.second, QThread::currentThread());

        // Only one owner of the handlers at a time.
        TerminationSignals second;
        EXPECT_FALSE(second.isActive());
    }
    struct sigaction after {};
    ::sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);

    // Under nohup the terminal closing is ignored, as it was.
    hangup.sa_handler = SIG_IGN;
    ::sigaction(SIGHUP, &hangup, nullptr);
    {
        TerminationSignals termination;
        struct sigaction during {};
        ::sigaction(SIGHUP, nullptr, &during);
        EXPECT_EQ(during.sa_handler, SIG_IGN);
    }
    ::sigaction(SIGHUP, &hangupBefore, nullptr);
}

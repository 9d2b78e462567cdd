#include "TerminationSignals.h"

#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

namespace {

TEST(TerminationSignals, DeliversEachSignalOnTheEventLoopThenRestoresTheDefault) {
    for (const int signalNumber : {SIGTERM, SIGINT}) {
        {
            TerminationSignals handler;
            ASSERT_TRUE(handler.isInstalled());
            QList<int> received;
            QEventLoop loop;
            QObject::connect(&handler, &TerminationSignals::received, [&](int number) {
                received << number;
                loop.quit();
            });
            QTimer::singleShot(10000, &loop, &QEventLoop::quit);
            // Sent to the process, as another process would: the default action would end the test.
            ASSERT_EQ(::kill(::getpid(), signalNumber), 0);
            loop.exec();
            EXPECT_EQ(received, QList<int>{signalNumber});
        }
        struct sigaction current {};
        ::sigaction(signalNumber, nullptr, &current);
        EXPECT_EQ(current.sa_handler, SIG_DFL) << signalNumber;
    }
}

TEST(TerminationSignals, ASignalIgnoredFromTheStartStaysIgnored) {
    std::signal(SIGINT, SIG_IGN);
    {
        TerminationSignals handler;
        QList<int> received;
        QEventLoop loop;
        QObject::connect(&handler, &TerminationSignals::received, [&](int number) {
            received << number;
            if (number == SIGTERM)
                loop.quit();
        });
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        // raise() delivers to this thread before it returns, so SIGINT would be in the pipe first.
        ASSERT_EQ(std::raise(SIGINT), 0);
        ASSERT_EQ(std::raise(SIGTERM), 0);
        loop.exec();
        EXPECT_EQ(received, QList<int>{SIGTERM});
    }
    struct sigaction current {};
    ::sigaction(SIGINT, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_IGN);
    std::signal(SIGINT, SIG_DFL);
}

} // namespace

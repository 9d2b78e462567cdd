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

} // namespace

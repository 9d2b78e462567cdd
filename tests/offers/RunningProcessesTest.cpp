// Processes by executable name, read from the real /proc with real child processes.
#include "RunningProcesses.h"
#include "NamedProcess.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

// Longer than the kernel's 15-character command name, which would cut it to "morvik-probe-wi"; named
// after this test process too, so that another run at the same time has probes of its own.
const QString longName =
    QStringLiteral("morvik-probe-with-a-long-executable-name-%1").arg(QCoreApplication::applicationPid());

TEST(RunningProcessesTest, FindsAProcessByTheFullBaseNameOfItsExecutable) {
    NamedProcess probe(longName);
    ASSERT_TRUE(probe.isRunning());
    EXPECT_EQ(RunningProcesses::executableName(probe.pid()), longName);
    EXPECT_EQ(RunningProcesses::named({QStringLiteral("no-such-tool"), longName}),
              QList<std::int32_t>{probe.pid()});
    // What the kernel's short command name would have matched is no name of it.
    EXPECT_FALSE(RunningProcesses::named({longName.left(15)}).contains(probe.pid()));
    EXPECT_EQ(RunningProcesses::executableName(std::int32_t(QCoreApplication::applicationPid())),
              QFileInfo(QCoreApplication::applicationFilePath()).fileName());
}

TEST(RunningProcessesTest, AnExecutableRemovedWhileItRunsKeepsItsName) {
    NamedProcess probe(longName);
    ASSERT_TRUE(probe.isRunning());
    ASSERT_TRUE(QFile::remove(probe.executablePath()));
    EXPECT_EQ(RunningProcesses::executableName(probe.pid()), longName);
    EXPECT_EQ(RunningProcesses::named({longName}), QList<std::int32_t>{probe.pid()});
}

TEST(RunningProcessesTest, AProcessThatEndedOrNeverWasHasNoName) {
    NamedProcess probe(longName);
    ASSERT_TRUE(probe.isRunning());
    const std::int32_t pid = probe.pid();
    probe.stop();
    EXPECT_EQ(RunningProcesses::executableName(pid), std::nullopt);
    EXPECT_TRUE(RunningProcesses::named({longName}).isEmpty());
    for (const std::int32_t nonsense : {0, -1, 2147483647})
        EXPECT_EQ(RunningProcesses::executableName(nonsense), std::nullopt) << nonsense;
    EXPECT_TRUE(RunningProcesses::named({}).isEmpty());
}

} // namespace

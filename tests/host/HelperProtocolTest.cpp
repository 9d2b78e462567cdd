// The owner line protocol, through the real helper binary and its pipes.
#include "OwnerDriver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

QByteArray json(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

bool isLog(const QJsonObject& m, const QString& contains) {
    return m.value(QStringLiteral("log")).toString().contains(contains);
}

// Keeps the helper's files away from the real user's, and its requests away from real services.
void isolate(OwnerDriver& owner, const QTemporaryDir& home) {
    owner.environment().insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    owner.environment().insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    owner.environment().insert(QStringLiteral("MORVIK_FEEDBACK_URL"), QStringLiteral("http://127.0.0.1:9"));
    owner.environment().insert(QStringLiteral("MORVIK_ACCOUNT_URL"), QStringLiteral("http://127.0.0.1:9"));
}

// The helper takes its reopen socket as its event loop starts; waits until it is there.
bool waitForPath(const QString& path, std::chrono::milliseconds timeout = 10s) {
    QDeadlineTimer deadline(timeout);
    while (!QFileInfo::exists(path)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(10);
    }
    return true;
}

class HelperProtocol : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        isolate(owner, home);
    }
    void TearDown() override {
        EXPECT_TRUE(owner.malformedLines().isEmpty())
            << "not one compact JSON object: " << owner.malformedLines().value(0).left(200).toStdString();
    }

    QTemporaryDir home;
    OwnerDriver owner;
};

TEST_F(HelperProtocol, HandlesMessagesInOrderWhateverTheChunking) {
    ASSERT_TRUE(owner.start());
    const QByteArray config = R"({"config":{"appKey":"a","ingestKey":"k"}})";
    const QByteArray compose = R"({"cmd":"compose"})";
    // Two messages in one chunk, then one split byte by byte over many chunks.
    owner.writeRaw(config + "\n" + compose + "\n");
    owner.writeInChunks(" \t{\"cmd\":\r\n", {1, 1, 1, 1, 2, 3});
    owner.writeInChunks(compose + "\r\n", {3, 5, 2});

    ASSERT_TRUE(owner.waitFor([](const QJsonObject& m) {
        return m.value(QStringLiteral("id")).toInt() == 2 && OwnerDriver::isSnapshotRequest(m);
    }));
    const auto& m = owner.messages();
    ASSERT_GE(m.size(), 2);
    EXPECT_TRUE(OwnerDriver::isReady(m[0]));
    EXPECT_EQ(json(m[1]), R"({"id":1,"want":"snapshot"})");
    EXPECT_EQ(owner.count(OwnerDriver::isReady), 1);
    EXPECT_EQ(owner.count(OwnerDriver::isSnapshotRequest), 2);
}

TEST_F(HelperProtocol, AnswersEveryConfigWithOneReady) {
    ASSERT_TRUE(owner.start());
    owner.writeLine(R"({"config":{"appKey":"a","ingestKey":"k"}})");
    ASSERT_TRUE(owner.waitForReadyCount(1));
    owner.writeLine(R"({"config":{}})");
    owner.writeLine(R"({"config":{"productName":"","ownerPID":1,"version":7}})");
    ASSERT_TRUE(owner.waitForReadyCount(3));
    owner.settle(200ms);
    EXPECT_EQ(owner.count(OwnerDriver::isReady), 3);
    EXPECT_EQ(json(owner.messages().first()), R"({"event":"ready"})");
}

TEST_F(HelperProtocol, TestsMessageShapesInOrder) {
    ASSERT_TRUE(owner.start());
    const QString image = QString::fromLatin1(QByteArray("hello").toBase64());
    // A non-object config falls through to the compose row.
    owner.writeLine(R"({"config":"text","cmd":"compose"})");
    ASSERT_TRUE(owner.waitForSnapshotRequest());
    // Any cmd other than compose falls through to the answer row.
    owner.writeLine(json({{"cmd", "quit"}, {"id", 1}, {"snapshot", image}}));
    ASSERT_TRUE(owner.waitForLog(QStringLiteral("snapshot 1 completed with a 5-byte snapshot")));
    ASSERT_TRUE(owner.waitForLog(QStringLiteral("compose with a 5-byte snapshot")));
    // A flush carries no id: a line with one is the snapshot answer it looks like, and flushes nothing.
    owner.writeLine(R"({"cmd":"compose"})");
    ASSERT_TRUE(owner.waitFor([](const QJsonObject& m) {
        return OwnerDriver::isSnapshotRequest(m) && m.value("id").toInt() == 2;
    }));
    owner.writeLine(json({{"cmd", "flush"}, {"id", 2}, {"snapshot", image}}));
    ASSERT_TRUE(owner.waitForLog(QStringLiteral("snapshot 2 completed with a 5-byte snapshot")));
    ASSERT_TRUE(owner.waitForLog(QStringLiteral("compose with a 5-byte snapshot")));
    // Lines of no known shape, or not JSON objects, get no reply at all.
    for (const char* line : {"", "not json", "[1,2]", "42", R"({"cmd":7})", R"({"cmd":"Compose"})",
                             R"({"want":"x"})", R"({"id":"1"})", R"({"config":[]})", "{\"a\":1}garbage"})
        owner.writeLine(line);
    owner.writeLine(R"({"config":{}})");
    ASSERT_TRUE(owner.waitForReadyCount(1));
    EXPECT_EQ(owner.count(OwnerDriver::isSnapshotRequest), 2);
    EXPECT_EQ(owner.count([](const QJsonObject& m) { return m.contains(QStringLiteral("log")); }), 4);
    EXPECT_EQ(owner.count(OwnerDriver::isFlushed), 0);
}

TEST_F(HelperProtocol, NumbersRequestsFromOneAndCompletesEachOnce) {
    ASSERT_TRUE(owner.start());
    for (int i = 0; i < 3; ++i)
        owner.writeLine(R"({"cmd":"compose"})");
    ASSERT_TRUE(
        owner.waitFor([](const QJsonObject& m) { return m.value(QStringLiteral("id")).toInt() == 3; }));
    QList<int> ids;
    for (const auto& m : owner.messages())
        if (OwnerDriver::isSnapshotRequest(m))
            ids.append(m.value(QStringLiteral("id")).toInt());
    EXPECT_EQ(ids, QList<int>({1, 2, 3}));

    // No snapshot key: completes at once without an image. A second answer for the same id, and one
    // for an id never handed out, are ignored.
    owner.writeLine(R"({"id":1})");
    owner.writeLine(json({{"id", 1}, {"snapshot", QStringLiteral("aGVsbG8=")}}));
    owner.writeLine(json({{"id", 99}, {"snapshot", QStringLiteral("aGVsbG8=")}}));
    ASSERT_TRUE(owner.waitForLog(QStringLiteral("answer 99 ignored")));
    EXPECT_EQ(owner.count([](const QJsonObject& m) {
        return isLog(m, QStringLiteral("snapshot 1 completed with no snapshot"));
    }),
              1);
    EXPECT_EQ(owner.count([](const QJsonObject& m) { return isLog(m, QStringLiteral("answer 1 ignored")); }),
              1);
}

TEST_F(HelperProtocol, RejectsAnythingButStrictBase64AtOnce) {
    ASSERT_TRUE(owner.start());
    // Each of these completes its request without an image immediately, not at the 3-second mark.
    const QStringList invalid = {QStringLiteral("aGVsbG8"),      QStringLiteral("aGVs\nbG8="),
                                 QStringLiteral("aGVsbG8=="),    QStringLiteral("aG Vs bG8="),
                                 QStringLiteral("aGVsbG8-"),     QStringLiteral("=aGVsbG8"),
                                 QStringLiteral("aGVsbG8=aGVs"), QStringLiteral("")};
    for (int i = 0; i < invalid.size(); ++i)
        owner.writeLine(R"({"cmd":"compose"})");
    ASSERT_TRUE(owner.waitFor(
        [&](const QJsonObject& m) { return m.value(QStringLiteral("id")).toInt() == invalid.size(); }));
    for (int i = 0; i < invalid.size(); ++i)
        owner.writeLine(json({{"id", i + 1}, {"snapshot", invalid[i]}}));
    owner.writeLine(R"({"id":99,"snapshot":5})");
    ASSERT_TRUE(owner.waitForLog(QStringLiteral("answer 99 ignored"), 2000ms));
    for (int i = 0; i < invalid.size(); ++i)
        EXPECT_EQ(owner.count([&](const QJsonObject& m) {
            return isLog(m, QStringLiteral("snapshot %1 completed with no snapshot").arg(i + 1));
        }),
                  1)
            << invalid[i].toStdString();
}

TEST_F(HelperProtocol, ExpiresUnansweredRequestsAfterThreeSecondsAndIgnoresLateAnswers) {
    ASSERT_TRUE(owner.start());
    owner.writeLine(R"({"cmd":"compose"})");
    ASSERT_TRUE(owner.waitForSnapshotRequest());
    EXPECT_FALSE(owner.waitForLog(QStringLiteral("snapshot 1 expired"), 2500ms));
    ASSERT_TRUE(owner.waitForLog(QStringLiteral("snapshot 1 expired"), 2000ms));
    ASSERT_TRUE(owner.waitForLog(QStringLiteral("compose with no snapshot")));
    owner.writeLine(json({{"id", 1}, {"snapshot", QStringLiteral("aGVsbG8=")}}));
    ASSERT_TRUE(owner.waitForLog(QStringLiteral("answer 1 ignored")));
}

TEST_F(HelperProtocol, EndOfInputWithARequestPendingExitsZeroSilently) {
    ASSERT_TRUE(owner.start());
    owner.writeLine(R"({"cmd":"compose"})");
    ASSERT_TRUE(owner.waitForSnapshotRequest());
    const auto before = owner.rawLines().size();
    owner.writeRaw(R"({"config":{"appKey":"partial")"); // no line feed: abandoned
    owner.closeInput();
    EXPECT_EQ(owner.waitForExit(), 0);
    EXPECT_EQ(owner.rawLines().size(), before);
}

TEST(HelperStandardInput, AbsentClosedOrEmptyInputExitsZero) {
    // /dev/null, and no descriptor 0 at all: both are end of input.
    QTemporaryDir runtime;
    for (const char* shell : {"exec \"$0\" < /dev/null", "exec \"$0\" <&-"}) {
        QProcess process;
        // Without an owner the helper first looks for a running one to reopen: keep it to this test.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral("/bin/sh"),
                      {QStringLiteral("-c"), QString::fromLatin1(shell), OwnerDriver::helperPath()});
        ASSERT_TRUE(process.waitForFinished(15000)) << shell;
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << shell;
        EXPECT_EQ(process.exitCode(), 0) << shell;
        EXPECT_TRUE(process.readAllStandardOutput().isEmpty()) << shell;
    }
}

TEST(HelperEnd, SigtermSigintAndEndOfInputEndItInOrder) {
    const std::pair<const char*, int> ends[] = {
        {"SIGTERM", SIGTERM}, {"SIGINT", SIGINT}, {"end of input", 0}};
    for (const auto& [name, signalNumber] : ends) {
        QTemporaryDir home;
        OwnerDriver owner;
        isolate(owner, home);
        ASSERT_TRUE(owner.start());
        owner.writeLine(R"({"config":{}})");
        ASSERT_TRUE(owner.waitForReadyCount(1)) << name;
        ASSERT_TRUE(waitForPath(owner.reopenSocketPath())) << name;

        if (signalNumber)
            owner.signal(signalNumber);
        else
            owner.closeInput();
        EXPECT_EQ(owner.waitForExit(), 0) << name << ": a normal exit with status 0, not death by the signal";
        EXPECT_FALSE(QFileInfo::exists(owner.reopenSocketPath())) << name << ": the reopen socket is removed";
        EXPECT_TRUE(QDir(owner.runtimeDirectory()).isEmpty()) << name;
    }
}

TEST(HelperEnd, ASignalClosesTheOpenComposer) {
    QTemporaryDir home;
    OwnerDriver owner;
    isolate(owner, home);
    owner.narrateComposer();
    owner.answerSnapshotsWith(OwnerDriver::sampleImage());
    ASSERT_TRUE(owner.start());
    owner.writeLine(R"({"cmd":"compose"})");
    ASSERT_TRUE(owner.waitForLog(QStringLiteral("composer: window shown"), 60s));

    owner.signal(SIGTERM);
    EXPECT_EQ(owner.waitForExit(30s), 0);
    EXPECT_EQ(
        owner.count([](const QJsonObject& m) { return isLog(m, QStringLiteral("composer: window closed")); }),
        1);
    EXPECT_FALSE(QFileInfo::exists(owner.reopenSocketPath()));
}

// Only --reopen or a terminal on standard input makes a second launch. Input from a file or /dev/null
// belongs to whoever started the helper: the helper serves it itself and the running one hears nothing.
TEST(HelperSecondLaunch, AFileOrDevNullIsServedAndATerminalReopensTheRunningHelper) {
    QTemporaryDir home;
    OwnerDriver running;
    isolate(running, home);
    ASSERT_TRUE(running.start());
    running.writeLine(R"({"config":{}})");
    ASSERT_TRUE(running.waitForReadyCount(1));
    ASSERT_TRUE(waitForPath(running.reopenSocketPath()));

    // Started with standard input from the path, in the running helper's environment (and so with its
    // reopen socket); gives the exit status (-1 after a crash) and the standard output.
    const auto launch = [&](const QString& input) {
        QProcess second;
        second.setProcessEnvironment(running.environment());
        second.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("exec \"$0\" < \"$1\""),
                                                 OwnerDriver::helperPath(), input});
        const bool finished = second.waitForFinished(30000);
        const bool normal = finished && second.exitStatus() == QProcess::NormalExit;
        return std::pair(normal ? second.exitCode() : -1, second.readAllStandardOutput());
    };

    const QString script = home.filePath(QStringLiteral("script.jsonl"));
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{\"config\":{}}\n{\"cmd\":\"compose\"}\n");
    file.close();
    const auto [scriptStatus, scriptOutput] = launch(script);
    EXPECT_EQ(scriptStatus, 0);
    EXPECT_TRUE(scriptOutput.contains("{\"event\":\"ready\"}\n")) << scriptOutput.toStdString();
    EXPECT_TRUE(scriptOutput.contains("{\"id\":1,\"want\":\"snapshot\"}\n")) << scriptOutput.toStdString();

    const auto [nullStatus, nullOutput] = launch(QStringLiteral("/dev/null"));
    EXPECT_EQ(nullStatus, 0);
    EXPECT_TRUE(nullOutput.isEmpty()) << nullOutput.toStdString();

    // Had either reached the running helper, its snapshot request would be written before this ready.
    running.writeLine(R"({"config":{}})");
    ASSERT_TRUE(running.waitForReadyCount(2));
    EXPECT_EQ(running.count(OwnerDriver::isSnapshotRequest), 0);

    // A terminal: someone started it by hand, asking for the composer of the helper that runs.
    const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(::grantpt(terminal), 0);
    ASSERT_EQ(::unlockpt(terminal), 0);
    const auto [terminalStatus, terminalOutput] = launch(QString::fromLocal8Bit(::ptsname(terminal)));
    EXPECT_EQ(terminalStatus, 0);
    EXPECT_TRUE(terminalOutput.isEmpty()) << terminalOutput.toStdString();
    EXPECT_TRUE(running.waitForSnapshotRequest());
    ::close(terminal);
}

TEST(HelperStandardInput, DropsAnOverlongLineAndHandlesTheNext) {
    OwnerDriver owner;
    ASSERT_TRUE(owner.start());
    // 65 MiB without a line feed, streamed; then the end of that line and a normal message.
    const QByteArray block(1024 * 1024, 'x');
    owner.writeRaw("{\"config\":{\"appKey\":\"");
    for (int i = 0; i < 65; ++i)
        owner.writeRaw(block);
    owner.writeRaw("\"}}\n{\"config\":{}}\n");
    ASSERT_TRUE(owner.waitForReadyCount(1, 30000ms));
    EXPECT_EQ(owner.count([](const QJsonObject& m) {
        return isLog(m, QStringLiteral("dropped an input line longer than"));
    }),
              1);
    EXPECT_EQ(owner.count(OwnerDriver::isReady), 1);
}

TEST(HelperPackaging, WithoutItsOnDemandLibrariesTheHelperStillSpeaksAndSaysWhatIsMissing) {
    // A copy of the binary alone in a folder finds its start-up libraries through its run path, but
    // not the window and delivery libraries it loads from its own folder: a broken installation.
    QTemporaryDir folder;
    const QString copy = folder.filePath(QStringLiteral("morvik-feedback-helper"));
    ASSERT_TRUE(QFile::copy(OwnerDriver::helperPath(), copy));
    OwnerDriver owner;
    owner.setProgram(copy);
    owner.answerSnapshotsWith(OwnerDriver::sampleImage());
    ASSERT_TRUE(owner.start());

    owner.writeLine(R"({"cmd":"flush"})");
    const auto flushed = owner.waitForMessage(OwnerDriver::isFlushed);
    ASSERT_TRUE(flushed);
    EXPECT_EQ(flushed->value(QStringLiteral("sent")).toInt(-1), 0);
    EXPECT_TRUE(owner.waitForLog(QStringLiteral("cannot load ") +
                                 folder.filePath(QStringLiteral("libmorvik_host_delivery.so"))));

    owner.writeLine(R"({"cmd":"compose"})");
    EXPECT_TRUE(owner.waitForLog(QStringLiteral("cannot load ") +
                                 folder.filePath(QStringLiteral("libmorvik_host_windows.so"))));

    owner.writeLine(R"({"config":{}})");
    EXPECT_TRUE(owner.waitForReadyCount(1));
    owner.closeInput();
    EXPECT_EQ(owner.waitForExit(), 0);
}

TEST(HelperCommandLine, PrintsHelpAndVersion) {
    for (const char* flag : {"--help", "--version"}) {
        QProcess process;
        process.start(OwnerDriver::helperPath(), {QString::fromLatin1(flag)});
        ASSERT_TRUE(process.waitForFinished(15000));
        EXPECT_EQ(process.exitCode(), 0);
        EXPECT_TRUE(process.readAllStandardOutput().contains("morvik-feedback-helper")) << flag;
    }
}

} // namespace

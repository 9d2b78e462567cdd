// The stand-in program: announces its address, serves, and ends cleanly on SIGTERM.

#include "StandInClient.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr int processTimeoutMs = 15000;

TEST(StandInProgram, PrintsItsAddressServesAndEndsOnSigterm) {
    QTemporaryDir dir;
    QProcess program;
    program.start(MORVIK_STANDIN_PROGRAM, {"--port", "0", "--db", dir.filePath("inbox.sqlite")});
    ASSERT_TRUE(program.waitForStarted(processTimeoutMs));
    while (!program.canReadLine())
        ASSERT_TRUE(program.waitForReadyRead(processTimeoutMs))
            << program.readAllStandardError().toStdString();
    const QByteArray line = program.readLine();
    ASSERT_TRUE(line.startsWith("listening http://127.0.0.1:")) << line.toStdString();
    const QUrl base(QString::fromLatin1(line.mid(10).trimmed()));
    EXPECT_GT(base.port(), 0);

    const HttpResult report = StandInClient::send("POST", StandInClient::at(base, "/report"),
                                                  R"({"client_report_id":"P-1","message":"hello"})");
    EXPECT_EQ(report.status, 200);
    EXPECT_TRUE(StandInClient::get(base).body.contains("hello"));

    program.terminate();
    ASSERT_TRUE(program.waitForFinished(processTimeoutMs));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(program.readAllStandardOutput().isEmpty()) << "one line only";
    EXPECT_TRUE(QFile::exists(dir.filePath("inbox.sqlite")));
}

TEST(StandInProgram, DelaysAndRedirectsWhenAskedTo) {
    QTemporaryDir dir;
    QProcess program;
    program.start(MORVIK_STANDIN_PROGRAM,
                  {"--db", dir.filePath("inbox.sqlite"), "--delay-ms", "250", "--redirect", "308"});
    ASSERT_TRUE(program.waitForStarted(processTimeoutMs));
    while (!program.canReadLine())
        ASSERT_TRUE(program.waitForReadyRead(processTimeoutMs))
            << program.readAllStandardError().toStdString();
    const QUrl base(QString::fromLatin1(program.readLine().mid(10).trimmed()));

    QElapsedTimer clock;
    clock.start();
    const HttpResult report = StandInClient::send("POST", StandInClient::at(base, "/moved/report"),
                                                  R"({"client_report_id":"P-2","message":"moved"})");
    EXPECT_EQ(report.status, 200);
    EXPECT_GE(clock.elapsed(), 500) << "the redirect and the answer are each held back";
    EXPECT_TRUE(StandInClient::get(base).body.contains("moved"));

    program.terminate();
    ASSERT_TRUE(program.waitForFinished(processTimeoutMs));
    EXPECT_EQ(program.exitCode(), 0);
}

TEST(StandInProgram, RefusesOptionsItCannotHonour) {
    const QStringList bad[] = {
        {"--delay-ms", "-5"}, {"--redirect", "200"}, {"--redirect", "308", "--redirect-target", "nowhere"}};
    for (const QStringList& arguments : bad) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        QProcess program;
        program.start(MORVIK_STANDIN_PROGRAM, arguments);
        ASSERT_TRUE(program.waitForFinished(processTimeoutMs));
        EXPECT_EQ(program.exitCode(), 2);
        EXPECT_TRUE(program.readAllStandardOutput().isEmpty());
    }
}

TEST(StandInProgram, RefusesAPortThatIsNotANumber) {
    QProcess program;
    program.start(MORVIK_STANDIN_PROGRAM, {"--port", "http"});
    ASSERT_TRUE(program.waitForFinished(processTimeoutMs));
    EXPECT_EQ(program.exitCode(), 2);
    EXPECT_TRUE(program.readAllStandardOutput().isEmpty());
}

} // namespace

#include "ServiceFixture.h"

#include <QFile>
#include <QFileInfo>

namespace {

class FlushOutboxTest : public ServiceFixture {
protected:
    QString stored(const QString& name, const QByteArray& body, qint64 ageSeconds = 60) {
        QDir().mkpath(outboxDirectory());
        const QString path = QDir(outboxDirectory()).filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(body);
        file.flush(); // a later flush would make the file new again
        EXPECT_TRUE(file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-ageSeconds),
                                     QFileDevice::FileModificationTime));
        return path;
    }
};

TEST_F(FlushOutboxTest, AcceptedReportsLeaveAndFailuresStayForTheNextFlush) {
    stored(QStringLiteral("A.json"), R"({"client_report_id":"A"})");
    stored(QStringLiteral("B.json"), R"({"client_report_id":"B"})");
    stored(QStringLiteral("C.json"), R"({"client_report_id":"C"})");
    service.enqueue("POST", "/report", ScriptedReply::json(200, R"({"code":"1"})"));
    service.enqueue("POST", "/report", ScriptedReply::json(503, "busy"));
    service.enqueue("POST", "/report", ScriptedReply::json(201, R"({"code":"3"})"));
    // Stored reports go out without a token even when one is at hand.
    Feedback::setAccountToken([](auto done) { done(QStringLiteral("tok")); });

    EXPECT_EQ(await(Feedback::flushOutbox()), 2);
    EXPECT_EQ(outboxFiles(), QStringList{QStringLiteral("B.json")});
    const auto requests = service.requests("/report");
    ASSERT_EQ(requests.size(), 3);
    EXPECT_EQ(requests[0].body, R"({"client_report_id":"A"})");
    EXPECT_EQ(requests[1].body, R"({"client_report_id":"B"})");
    EXPECT_EQ(requests[2].body, R"({"client_report_id":"C"})");
    for (const auto& request : requests) {
        EXPECT_FALSE(request.hasHeader("Authorization"));
        EXPECT_EQ(request.header("x-fb-key"), "ingest-secret");
    }

    EXPECT_EQ(await(Feedback::flushOutbox()), 1) << "the remaining report is posted again";
    EXPECT_TRUE(outboxFiles().isEmpty());
}

TEST_F(FlushOutboxTest, RefusedReportStays) {
    stored(QStringLiteral("A.json"), "{}");
    service.enqueue("POST", "/report", ScriptedReply::json(403, R"({"refusal":"r","message":"No"})"));
    EXPECT_EQ(await(Feedback::flushOutbox()), 0);
    EXPECT_EQ(outboxFiles(), QStringList{QStringLiteral("A.json")});
}

TEST_F(FlushOutboxTest, NotConfiguredLeavesEvenExpiredFiles) {
    const QString expired = stored(QStringLiteral("old.json"), "{}", 8 * 86400);
    Feedback::setIngestKey(QString());
    EXPECT_EQ(await(Feedback::flushOutbox()), 0);
    EXPECT_TRUE(QFileInfo::exists(expired));
    EXPECT_TRUE(service.requests().isEmpty());
}

TEST_F(FlushOutboxTest, ExpiredReportsAreDroppedUnsent) {
    stored(QStringLiteral("old.json"), R"({"old":true})", 8 * 86400);
    stored(QStringLiteral("new.json"), R"({"new":true})");
    EXPECT_EQ(await(Feedback::flushOutbox()), 1);
    const auto requests = service.requests("/report");
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].body, R"({"new":true})");
    EXPECT_TRUE(outboxFiles().isEmpty());
}

TEST_F(FlushOutboxTest, UnreadableFileIsDeletedAndTheRestGoOut) {
    stored(QStringLiteral("B.json"), "{}");
    QDir().mkpath(outboxDirectory());
    // A link to nothing is listed but cannot be read.
    ASSERT_TRUE(QFile::link(tempPath(QStringLiteral("missing")), QDir(outboxDirectory()).filePath("A.json")));
    EXPECT_EQ(await(Feedback::flushOutbox()), 1);
    EXPECT_TRUE(outboxFiles().isEmpty());
    EXPECT_FALSE(QFileInfo(QDir(outboxDirectory()).filePath("A.json")).isSymLink());
    EXPECT_EQ(service.requests("/report").size(), 1);
}

TEST_F(FlushOutboxTest, EmptyOrMissingOutboxSendsNothing) {
    EXPECT_EQ(await(Feedback::flushOutbox()), 0);
    EXPECT_TRUE(service.requests().isEmpty());
}

TEST_F(FlushOutboxTest, ReportFromAFailedSendIsDeliveredByTheFlushUnchanged) {
    service.enqueue("POST", "/report", ScriptedReply::cut(2, 200, R"({"code":"lost"})"));
    EXPECT_EQ(await(Feedback::sendOutcome(FeedbackIntent::bug, QStringLiteral("Once"))),
              Feedback::SendOutcome::failed());
    std::optional<int> flushed;
    QEventLoop loop;
    Feedback::flushOutbox([&](int accepted) {
        flushed = accepted;
        loop.quit();
    });
    loop.exec();
    EXPECT_EQ(flushed, 1);
    const auto requests = service.requests("/report");
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[1].body, requests[0].body) << "same bytes, same client_report_id";
    EXPECT_TRUE(outboxFiles().isEmpty());
}

} // namespace

// One report through several attempts: one identity, one outbox copy, and the copy on disk before
// anything goes on the network.
#include "FeedbackSubmission.h"
#include "ServiceFixture.h"
#include "TestImages.h"

#include <QFile>

namespace {

using Feedback::SendOutcome;

class SubmissionTest : public ServiceFixture {
protected:
    void SetUp() override {
        ServiceFixture::SetUp();
        DeliveryTimings::setScreenshotRetryDelay(std::chrono::milliseconds(20));
    }
    static QByteArray snapshot() {
        return TestImages::jpeg(TestImages::halves(160, 100, Qt::red, Qt::blue), 90);
    }
    QStringList reportIds() const {
        QStringList ids;
        for (const auto& request : service.requests("/report"))
            ids.append(json(request.body).value("client_report_id").toString());
        return ids;
    }
    Feedback::DeliveryOutcome attempt(FeedbackSubmission& submission, const QString& message,
                                      std::optional<QByteArray> picture = {}) {
        return await(submission.deliver(FeedbackIntent::bug, message, QString(), std::move(picture)));
    }
};

TEST_F(SubmissionTest, RetriesAreOneReportThatNoFlushPostsAgain) {
    service.enqueue("POST", "/report", ScriptedReply::cut(2, 200, R"({"code":"lost"})"));
    service.enqueue("POST", "/report", ScriptedReply::json(403, R"({"refusal":"r","message":"Not now"})"));
    service.enqueue("POST", "/report", ScriptedReply::json(200, R"({"code":"K-7"})"));
    FeedbackSubmission submission;

    EXPECT_EQ(attempt(submission, "First").outcome, SendOutcome::failed());
    EXPECT_EQ(outboxFiles().size(), 1);
    EXPECT_EQ(attempt(submission, "Second").outcome, SendOutcome::refused("Not now"));
    EXPECT_EQ(outboxFiles().size(), 1) << "the same copy, replaced";
    // While the composer is open, its report is its own: a flush leaves it alone.
    EXPECT_EQ(await(Feedback::flushOutbox()), 0);
    EXPECT_EQ(attempt(submission, "Third").outcome, SendOutcome::sent("K-7"));
    EXPECT_TRUE(outboxFiles().isEmpty());

    EXPECT_EQ(await(Feedback::flushOutbox()), 0);
    EXPECT_EQ(reportIds(), QStringList(3, submission.reportId()));
    EXPECT_EQ(json(service.requests("/report").last().body)["message"], QJsonValue("Third"));
    EXPECT_EQ(attempt(submission, "Fourth").outcome, SendOutcome::sent("K-7")) << "accepted once, for good";
    EXPECT_EQ(service.requests("/report").size(), 3);
}

TEST_F(SubmissionTest, ReportAndSnapshotAreStoredBeforeTheUpload) {
    service.enqueue("POST", "/screenshot",
                    ScriptedReply::delayed(std::chrono::milliseconds(400), 200, R"({"id":"pic"})"));
    QStringList duringUpload;
    QObject context;
    QObject::connect(&service, &ServiceStandIn::requestReceived, &context,
                     [&](const RecordedRequest& request) {
                         if (request.path == QLatin1String("/screenshot"))
                             duringUpload = outboxFiles();
                     });
    const Feedback::DeliveryOutcome result =
        await(Feedback::deliverOutcome(FeedbackIntent::idea, QStringLiteral("Words"), QString(), snapshot()));
    ASSERT_EQ(duringUpload.size(), 2) << duringUpload.join(' ').toStdString();
    EXPECT_TRUE(duringUpload[0].endsWith(".json"));
    EXPECT_TRUE(duringUpload[1].endsWith(".snapshot"));
    EXPECT_TRUE(result.outcome.isSent());
    EXPECT_TRUE(outboxFiles().isEmpty());
}

TEST_F(SubmissionTest, SnapshotUploadedOnceAcrossAttempts) {
    service.enqueue("POST", "/report", ScriptedReply::json(500, "{}"));
    FeedbackSubmission submission;
    EXPECT_EQ(attempt(submission, "Words", snapshot()).outcome, SendOutcome::failed());
    EXPECT_EQ(outboxFiles().size(), 1) << "the snapshot went up; only the report waits";
    EXPECT_TRUE(attempt(submission, "Words", snapshot()).outcome.isSent());
    EXPECT_EQ(service.requests("/screenshot").size(), 1);
    const auto reports = service.requests("/report");
    ASSERT_EQ(reports.size(), 2);
    EXPECT_EQ(json(reports[0].body)["screenshot_url"], json(reports[1].body)["screenshot_url"]);
    EXPECT_FALSE(json(reports[1].body)["screenshot_url"].toString().isEmpty());
}

TEST_F(SubmissionTest, SnapshotThatCouldNotGoUpWaitsForTheFlush) {
    // Down for pictures and reports alike: both stay, and the flush sends the picture first.
    for (int i = 0; i < 2; ++i)
        service.enqueue("POST", "/screenshot", ScriptedReply::json(503, "{}"));
    service.enqueue("POST", "/report", ScriptedReply::json(503, "{}"));
    {
        FeedbackSubmission submission;
        EXPECT_EQ(attempt(submission, "Words", snapshot()).outcome, SendOutcome::failed());
        EXPECT_EQ(outboxFiles().size(), 2);
        EXPECT_EQ(json(service.requests("/report").last().body)["bundle"].toObject()["screenshot_upload"],
                  QJsonValue("failed: HTTP 503"));
    }
    EXPECT_EQ(await(Feedback::flushOutbox()), 1);
    const QJsonObject flushed = json(service.requests("/report").last().body);
    EXPECT_FALSE(flushed["screenshot_url"].toString().isEmpty());
    EXPECT_FALSE(flushed["bundle"].toObject().contains("screenshot_upload"));
    EXPECT_TRUE(outboxFiles().isEmpty());
}

} // namespace

#include "ServiceFixture.h"
#include "TestImages.h"

namespace {

using Feedback::SendOutcome;

class DeliverTest : public ServiceFixture {
protected:
    void SetUp() override {
        ServiceFixture::SetUp();
        DeliveryTimings::setScreenshotRetryDelay(std::chrono::milliseconds(20));
    }
    static QByteArray snapshot() {
        return TestImages::jpeg(TestImages::halves(160, 100, Qt::red, Qt::blue), 90);
    }
    QJsonObject postedReport() const {
        const auto reports = service.requests("/report");
        return reports.isEmpty() ? QJsonObject() : json(reports.last().body);
    }
};

TEST_F(DeliverTest, UploadedSnapshotTravelsAsItsAddress) {
    const Feedback::DeliveryOutcome result = await(Feedback::deliverOutcome(
        FeedbackIntent::bug, QStringLiteral("Broken"), QStringLiteral("a@b.c"), snapshot()));
    ASSERT_TRUE(result.outcome.isSent());
    EXPECT_EQ(result.screenshotNote, std::nullopt);
    const auto uploads = service.requests("/screenshot");
    ASSERT_EQ(uploads.size(), 1);
    EXPECT_EQ(uploads[0].header("Content-Type"), "image/jpeg");
    const QJsonObject report = postedReport();
    EXPECT_TRUE(
        report["screenshot_url"].toString().startsWith(service.baseUrl().toString() + "/screenshot/"));
    EXPECT_FALSE(report["bundle"].toObject().contains("screenshot_upload"));
    EXPECT_EQ(report["contact"], QJsonValue("a@b.c"));
}

TEST_F(DeliverTest, FailedUploadStillSendsTheWordsWithTheReason) {
    service.enqueue("POST", "/screenshot", ScriptedReply::json(404, "{}"));
    service.enqueue("POST", "/report", ScriptedReply::json(200, R"({"code":"W-1"})"));
    const Feedback::DeliveryOutcome result =
        await(Feedback::deliverOutcome(FeedbackIntent::idea, QStringLiteral("Idea"), QString(), snapshot()));
    EXPECT_EQ(result.outcome, SendOutcome::sent("W-1"));
    EXPECT_EQ(result.screenshotNote, Feedback::screenshotNotAttachedNote());
    EXPECT_EQ(Feedback::screenshotNotAttachedNote(),
              QStringLiteral("Screenshot didn't upload; your words were sent."));
    const QJsonObject report = postedReport();
    EXPECT_EQ(report["screenshot_url"], QJsonValue(""));
    EXPECT_EQ(report["bundle"].toObject()["screenshot_upload"], QJsonValue("failed: HTTP 404"));
}

struct OutcomeCase {
    const char* name;
    bool uploadFails;
    ScriptedReply reportReply;
    SendOutcome expected;
    std::optional<QString> expectedCode;
    bool expectNote;
};

class DeliverOutcomeTest : public DeliverTest, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(DeliverOutcomeTest, BothCallsReportTheOutcome) {
    const OutcomeCase& c = GetParam();
    for (int round = 0; round < 2; ++round) {
        if (c.uploadFails)
            service.enqueue("POST", "/screenshot", ScriptedReply::json(400, "{}"));
        service.enqueue("POST", "/report", c.reportReply);
    }
    const Feedback::DeliveryOutcome full =
        await(Feedback::deliverOutcome(FeedbackIntent::bug, QStringLiteral("m"), QString(), snapshot()));
    EXPECT_EQ(full.outcome, c.expected);
    EXPECT_EQ(full.screenshotNote.has_value(), c.expectNote);

    const Feedback::Delivery reduced =
        await(Feedback::deliver(FeedbackIntent::bug, QStringLiteral("m"), QString(), snapshot()));
    EXPECT_EQ(reduced.code, c.expectedCode);
    EXPECT_EQ(reduced.screenshotNote.has_value(), c.expectNote);
}

INSTANTIATE_TEST_SUITE_P(
    Deliver, DeliverOutcomeTest,
    ::testing::Values(OutcomeCase{"Sent", false, ScriptedReply::json(200, R"({"code":"S-1"})"),
                                  SendOutcome::sent("S-1"), "S-1", false},
                      OutcomeCase{"SentWithoutSnapshot", true, ScriptedReply::json(200, R"({"code":"S-2"})"),
                                  SendOutcome::sent("S-2"), "S-2", true},
                      OutcomeCase{"Refused", true,
                                  ScriptedReply::json(403, R"({"refusal":"r","message":"No thanks"})"),
                                  SendOutcome::refused("No thanks"), std::nullopt, false},
                      OutcomeCase{"Failed", true, ScriptedReply::json(500, "{}"), SendOutcome::failed(),
                                  std::nullopt, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeliverTest, NoSnapshotMeansNoUpload) {
    const Feedback::Delivery result =
        await(Feedback::deliver(FeedbackIntent::praise, QStringLiteral("Thanks")));
    EXPECT_TRUE(result.code);
    EXPECT_EQ(result.screenshotNote, std::nullopt);
    EXPECT_TRUE(service.requests("/screenshot").isEmpty());
    EXPECT_EQ(postedReport()["screenshot_url"], QJsonValue(""));
    EXPECT_FALSE(postedReport()["bundle"].toObject().contains("screenshot_upload"));
}

TEST_F(DeliverTest, NotConfiguredUploadIsNamedInTheBundleButNothingIsSent) {
    Feedback::setAppKey(QString());
    const Feedback::DeliveryOutcome result =
        await(Feedback::deliverOutcome(FeedbackIntent::bug, QStringLiteral("m"), QString(), snapshot()));
    EXPECT_EQ(result.outcome, SendOutcome::failed());
    EXPECT_EQ(result.screenshotNote, std::nullopt);
    EXPECT_TRUE(service.requests().isEmpty());
}

TEST_F(DeliverTest, PlainEntryDeliversOnce) {
    int calls = 0;
    std::optional<Feedback::Delivery> seen;
    QEventLoop loop;
    Feedback::deliver(FeedbackIntent::idea, QStringLiteral("m"), QString(), snapshot(),
                      [&](Feedback::Delivery d) {
                          ++calls;
                          seen = d;
                          loop.quit();
                      });
    loop.exec();
    EXPECT_EQ(calls, 1);
    ASSERT_TRUE(seen);
    EXPECT_TRUE(seen->code);
}

} // namespace

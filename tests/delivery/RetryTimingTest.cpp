#include "ServiceFixture.h"
#include "TestImages.h"

namespace {

constexpr std::chrono::milliseconds retryDelay{400};

struct TimingCase {
    const char* name;
    ScriptedReply first;
    bool waits; // false: the second request follows at once
};

class RetryTimingTest : public ServiceFixture, public ::testing::WithParamInterface<TimingCase> {
protected:
    void SetUp() override {
        ServiceFixture::SetUp();
        DeliveryTimings::setScreenshotRetryDelay(retryDelay);
    }
};

TEST_P(RetryTimingTest, SecondRequestWaitsOnlyForPassingTrouble) {
    const TimingCase& c = GetParam();
    service.enqueue("POST", "/screenshot", c.first);
    const QByteArray jpeg = TestImages::jpeg(TestImages::halves(200, 100, Qt::red, Qt::blue), 90);
    EXPECT_TRUE(await(Feedback::uploadScreenshotResult(jpeg, QStringLiteral("image/jpeg"))).isSuccess());
    const auto requests = service.requests("/screenshot");
    ASSERT_EQ(requests.size(), 2);
    const qint64 gap = requests[0].receivedAt.msecsTo(requests[1].receivedAt);
    if (c.waits)
        EXPECT_GE(gap, retryDelay.count() - 5); // receive stamps have millisecond resolution
    else
        EXPECT_LT(gap, retryDelay.count() / 2);
}

INSTANTIATE_TEST_SUITE_P(
    Screenshot, RetryTimingTest,
    ::testing::Values(TimingCase{"ServerError", ScriptedReply::json(503, "{}"), true},
                      TimingCase{"RequestTimeout", ScriptedReply::json(408, "{}"), true},
                      TimingCase{"Throttled", ScriptedReply::json(429, "{}"), true},
                      TimingCase{"NoIdentifier", ScriptedReply::json(200, R"({"id":""})"), true},
                      TimingCase{"BrokenAnswer", ScriptedReply::cut(1, 200, R"({"id":"x"})"), true},
                      TimingCase{"TooLargeShrinksAtOnce", ScriptedReply::json(413, "{}"), false}),
    [](const auto& info) { return std::string(info.param.name); });

class RetryPauseTest : public ServiceFixture {};

TEST_F(RetryPauseTest, TooLargeWithUnreadableBytesFallsBackToAPausedRetry) {
    DeliveryTimings::setScreenshotRetryDelay(retryDelay);
    service.enqueue("POST", "/screenshot", ScriptedReply::json(413, "{}"));
    EXPECT_TRUE(
        await(Feedback::uploadScreenshotResult("raw bytes", QStringLiteral("application/octet-stream")))
            .isSuccess());
    const auto requests = service.requests("/screenshot");
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[1].body, "raw bytes");
    EXPECT_EQ(requests[1].header("Content-Type"), "application/octet-stream");
    EXPECT_GE(requests[0].receivedAt.msecsTo(requests[1].receivedAt), retryDelay.count() - 5);
}

} // namespace

// Every delivery path meets the same exchanges (answers 2xx, 400, 401, 403, 404, 408, 413, 429, 5xx,
// a refused connection, a reset, a stall), and each path's table says what it makes of them: the
// verdict of the shared classification and what the caller sees.

#include "FeedbackRewards.h"
#include "FeedbackSession.h"
#include "HttpClassification.h"
#include "PreferenceStore.h"
#include "ServiceFixture.h"
#include "StatusExchange.h"
#include "TestImages.h"

namespace {

using namespace std::chrono_literals;
using Feedback::ScreenshotUploadError;
using Feedback::ScreenshotUploadResult;
using Feedback::SendOutcome;
using Fault = StatusExchange::Fault;
using V = HttpVerdict;

constexpr auto clientTimeout = 300ms;

// The verdict a classification gives this exchange as the project's session really meets it.
HttpVerdict verdictOf(const HttpClassification& table, const StatusExchange& exchange, const QUrl& url,
                      const QByteArray& method) {
    HttpRequest request;
    request.method = method;
    request.url = url;
    request.body = method == "GET" ? QByteArray() : QByteArray("{}");
    request.timeout = clientTimeout;
    const HttpResult result = QCoro::waitFor(Feedback::session()->send(std::move(request)));
    EXPECT_EQ(result.ok(), exchange.fault() == Fault::none);
    return table.verdict(result);
}

QUrl withPath(QUrl base, const QString& path) {
    base.setPath(path);
    return base;
}

// --- Report ------------------------------------------------------------------------------------------

struct ReportRow {
    StatusExchange exchange;
    HttpVerdict verdict;
    SendOutcome outcome; // anything but sent leaves the report in the outbox
};

class ReportMatrixTest : public ServiceFixture, public ::testing::WithParamInterface<ReportRow> {};

TEST_P(ReportMatrixTest, StatusDecidesOutcomeAndOutbox) {
    const ReportRow& row = GetParam();
    DeliveryTimings::setReportTimeout(clientTimeout);
    // A body that would do for an acceptance and for a refusal alike: only the status decides.
    const QUrl base = row.exchange.arrange(service, "POST", "/report",
                                           R"({"code":"FB-9","refusal":"spam","message":" Not here. "})");
    Feedback::setFeedbackServiceURL(base);
    const SendOutcome outcome = await(Feedback::sendOutcome(FeedbackIntent::bug, QStringLiteral("It broke")));
    EXPECT_EQ(outcome, row.outcome);
    EXPECT_EQ(outboxFiles().size(), outcome.isSent() ? 0 : 1);
    if (row.exchange.fault() == Fault::none) {
        EXPECT_EQ(service.requests("/report").size(), 1);
    }
    EXPECT_EQ(verdictOf(HttpClassification::report(), row.exchange, withPath(base, "/report"), "POST"),
              row.verdict);
}

const SendOutcome failed = SendOutcome::failed();

INSTANTIATE_TEST_SUITE_P(
    Report, ReportMatrixTest,
    ::testing::Values(ReportRow{StatusExchange::answer(200), V::accepted, SendOutcome::sent("FB-9")},
                      ReportRow{StatusExchange::answer(201), V::accepted, SendOutcome::sent("FB-9")},
                      ReportRow{StatusExchange::answer(400), V::tryLater, failed},
                      ReportRow{StatusExchange::answer(401), V::tryLater, failed},
                      ReportRow{StatusExchange::answer(403), V::refused, SendOutcome::refused("Not here.")},
                      ReportRow{StatusExchange::answer(404), V::tryLater, failed},
                      ReportRow{StatusExchange::answer(408), V::tryLater, failed},
                      ReportRow{StatusExchange::answer(413), V::tryLater, failed},
                      ReportRow{StatusExchange::answer(429), V::tryLater, failed},
                      ReportRow{StatusExchange::answer(500), V::tryLater, failed},
                      ReportRow{StatusExchange::answer(503), V::tryLater, failed},
                      ReportRow{StatusExchange::refusedConnection(), V::transportFailure, failed},
                      ReportRow{StatusExchange::reset(), V::transportFailure, failed},
                      ReportRow{StatusExchange::stall(), V::transportFailure, failed}),
    [](const auto& info) { return info.param.exchange.name().toStdString(); });

// --- Snapshot ----------------------------------------------------------------------------------------

struct SnapshotRow {
    StatusExchange exchange;
    HttpVerdict verdict;
    std::optional<ScreenshotUploadError::Kind> error; // absent: uploaded
    int attempts;                                     // 2: the one retry happened
};

class SnapshotMatrixTest : public ServiceFixture, public ::testing::WithParamInterface<SnapshotRow> {
protected:
    void SetUp() override {
        ServiceFixture::SetUp();
        DeliveryTimings::setScreenshotRetryDelay(20ms);
        DeliveryTimings::setScreenshotTimeout(clientTimeout);
    }
};

TEST_P(SnapshotMatrixTest, StatusDecidesResultAndTheOneRetry) {
    const SnapshotRow& row = GetParam();
    const QByteArray jpeg = TestImages::jpeg(TestImages::halves(120, 80, Qt::red, Qt::blue), 90);
    const QUrl base = row.exchange.arrange(service, "POST", "/screenshot", R"({"id":"snap-1"})");
    Feedback::setFeedbackServiceURL(base);
    const ScreenshotUploadResult result = await(Feedback::uploadScreenshotResult(jpeg, "image/jpeg"));

    ASSERT_EQ(result.isSuccess(), !row.error)
        << (result.error() ? result.error()->summary().toStdString() : "");
    if (const std::optional<ScreenshotUploadError> error = result.error()) {
        EXPECT_EQ(error->kind(), *row.error);
        if (row.exchange.fault() == Fault::none) {
            EXPECT_EQ(*error, ScreenshotUploadError::http(row.exchange.status()));
        }
        EXPECT_EQ(error->verdict(), row.verdict);
        // What the error says about retrying is what the upload did.
        EXPECT_EQ(error->retryable(), row.attempts == 2);
    }
    if (row.exchange.fault() != Fault::refusedConnection) {
        EXPECT_EQ(service.requests("/screenshot").size(), row.attempts);
    }
    EXPECT_EQ(verdictOf(HttpClassification::snapshot(), row.exchange, withPath(base, "/screenshot"), "POST"),
              row.verdict);
}

using K = ScreenshotUploadError::Kind;

INSTANTIATE_TEST_SUITE_P(
    Snapshot, SnapshotMatrixTest,
    ::testing::Values(SnapshotRow{StatusExchange::answer(200), V::accepted, std::nullopt, 1},
                      SnapshotRow{StatusExchange::answer(201), V::accepted, std::nullopt, 1},
                      SnapshotRow{StatusExchange::answer(400), V::refused, K::http, 1},
                      SnapshotRow{StatusExchange::answer(401), V::refused, K::http, 1},
                      SnapshotRow{StatusExchange::answer(403), V::refused, K::http, 1},
                      SnapshotRow{StatusExchange::answer(404), V::refused, K::http, 1},
                      SnapshotRow{StatusExchange::answer(408), V::tryLater, K::http, 2},
                      SnapshotRow{StatusExchange::answer(413), V::tryLater, K::http, 2},
                      SnapshotRow{StatusExchange::answer(429), V::tryLater, K::http, 2},
                      SnapshotRow{StatusExchange::answer(500), V::tryLater, K::http, 2},
                      SnapshotRow{StatusExchange::answer(503), V::tryLater, K::http, 2},
                      SnapshotRow{StatusExchange::refusedConnection(), V::transportFailure, K::transport, 2},
                      SnapshotRow{StatusExchange::reset(), V::transportFailure, K::transport, 2},
                      SnapshotRow{StatusExchange::stall(), V::transportFailure, K::transport, 2}),
    [](const auto& info) { return info.param.exchange.name().toStdString(); });

// --- Rewards -----------------------------------------------------------------------------------------

const QByteArray rewardsBody =
    R"({"base_usd":25,"max_usd":100,"source":"service","copy":{"settings_line":"S","sheet_line":"H",)"
    R"("confirm_bug":"B","confirm_idea":"I"}})";

struct RewardsRow {
    StatusExchange exchange;
    HttpVerdict verdict;
    bool stored;
};

class RewardsMatrixTest : public ServiceFixture, public ::testing::WithParamInterface<RewardsRow> {
protected:
    void SetUp() override {
        ServiceFixture::SetUp();
        PreferenceStore::standard().remove(Feedback::rewardsCacheKey());
        DeliveryTimings::setRewardsTimeout(clientTimeout);
    }
    void TearDown() override {
        PreferenceStore::standard().remove(Feedback::rewardsCacheKey());
        ServiceFixture::TearDown();
    }
};

TEST_P(RewardsMatrixTest, OnlyAnExact200IsStored) {
    const RewardsRow& row = GetParam();
    const QUrl base = row.exchange.arrange(service, "GET", "/rewards", rewardsBody);
    Feedback::setFeedbackServiceURL(base);
    await(Feedback::refreshRewardsTask());
    EXPECT_EQ(PreferenceStore::standard().value(Feedback::rewardsCacheKey()).toByteArray(),
              row.stored ? rewardsBody : QByteArray());
    EXPECT_EQ(Feedback::rewards().base_usd, row.stored ? 25 : Feedback::Rewards::builtin().base_usd);
    if (row.exchange.fault() == Fault::none) {
        EXPECT_EQ(service.requests("/rewards").size(), 1) << "no retry";
    }
    EXPECT_EQ(verdictOf(HttpClassification::rewards(), row.exchange, withPath(base, "/rewards"), "GET"),
              row.verdict);
}

INSTANTIATE_TEST_SUITE_P(Rewards, RewardsMatrixTest,
                         ::testing::Values(RewardsRow{StatusExchange::answer(200), V::accepted, true},
                                           RewardsRow{StatusExchange::answer(201), V::refused, false},
                                           RewardsRow{StatusExchange::answer(400), V::refused, false},
                                           RewardsRow{StatusExchange::answer(401), V::refused, false},
                                           RewardsRow{StatusExchange::answer(403), V::refused, false},
                                           RewardsRow{StatusExchange::answer(404), V::refused, false},
                                           RewardsRow{StatusExchange::answer(408), V::refused, false},
                                           RewardsRow{StatusExchange::answer(413), V::refused, false},
                                           RewardsRow{StatusExchange::answer(429), V::refused, false},
                                           RewardsRow{StatusExchange::answer(500), V::refused, false},
                                           RewardsRow{StatusExchange::answer(503), V::refused, false},
                                           RewardsRow{StatusExchange::refusedConnection(),
                                                      V::transportFailure, false},
                                           RewardsRow{StatusExchange::reset(), V::transportFailure, false},
                                           RewardsRow{StatusExchange::stall(), V::transportFailure, false}),
                         [](const auto& info) { return info.param.exchange.name().toStdString(); });

} // namespace

// The records upload and the diagnostics bundle meet the same exchanges as every other service path
// (answers 2xx, 400, 401, 403, 404, 408, 413, 429, 5xx, a refused connection, a reset, a stall); each
// path's table says what the shared classification makes of them and what happens to the stored state.

#include "FailureRecords.h"
#include "Feedback.h"
#include "FeedbackSession.h"
#include "HttpClassification.h"
#include "RecordsUploadSupport.h"
#include "StatusExchange.h"

#include <QCoroTask>

#include <gtest/gtest.h>

using FailureRecords::State;
using namespace RecordsTest;

namespace {

using Fault = StatusExchange::Fault;
using V = HttpVerdict;

constexpr auto clientTimeout = 300ms;

// The verdict a classification gives this exchange as the project's session really meets it.
HttpVerdict verdictOf(const HttpClassification& table, const StatusExchange& exchange, QUrl url) {
    HttpRequest request;
    request.method = "POST";
    request.url = std::move(url);
    request.body = "{}";
    request.headers = {{"Authorization", "Bearer token-1"}};
    request.timeout = clientTimeout;
    const HttpResult result = QCoro::waitFor(Feedback::session()->send(std::move(request)));
    EXPECT_EQ(result.ok(), exchange.fault() == Fault::none);
    return table.verdict(result);
}

QUrl withPath(QUrl base, const QString& path) {
    base.setPath(path);
    return base;
}

void recordTwoFailures() {
    const FailureRecords::Time when = at("2024-05-01T10:00:00Z");
    FailureRecords::record(QStringLiteral("action_failed"), QStringLiteral("sync"), std::nullopt, 3,
                           QStringLiteral("E1"), when);
    FailureRecords::record(QStringLiteral("action_failed"), QStringLiteral("save"), std::nullopt, 1,
                           QStringLiteral("E1"), when);
}

// --- Records upload ----------------------------------------------------------------------------------

struct RecordsRow {
    StatusExchange exchange;
    HttpVerdict verdict;
    bool settled;        // the batch leaves the store (accepted or dropped); otherwise it is kept for later
    const char* logLine; // empty: none
};

class RecordsMatrixTest : public UploadFixture, public ::testing::WithParamInterface<RecordsRow> {};

TEST_P(RecordsMatrixTest, StatusDecidesWhatSettles) {
    const RecordsRow& row = GetParam();
    FailureRecords::setRequestTimeout(clientTimeout);
    const QUrl base = row.exchange.arrange(*service_, QStringLiteral("POST"), struggle, R"({"accepted":2})");
    Feedback::setAccountServiceURL(base);
    recordTwoFailures();
    const State before = FailureRecords::snapshot();

    EXPECT_EQ(upload(at("2024-05-01T10:00:00Z")), row.verdict == V::accepted);
    const State after = FailureRecords::snapshot();
    if (row.settled) {
        EXPECT_TRUE(after.pending.isEmpty());
        EXPECT_EQ(after.uploadID, std::nullopt);
        EXPECT_EQ(after.sentToday, 1);
    } else {
        EXPECT_EQ(after.pending, before.pending);
        EXPECT_TRUE(after.uploadID.has_value()) << "the next attempt sends the batch under the same id";
        EXPECT_EQ(after.sentToday, 0);
    }
    EXPECT_EQ(storedState(), after);
    const QString line = QString::fromUtf8(row.logLine);
    if (line.isEmpty()) {
        EXPECT_TRUE(log_.lines().isEmpty()) << log_.lines().join(u'|').toStdString();
    } else {
        EXPECT_TRUE(log_.waitFor(line)) << log_.lines().join(u'|').toStdString();
    }
    if (row.exchange.fault() != Fault::refusedConnection) {
        EXPECT_EQ(service_->requests(struggle).size(), 1) << "no immediate retry";
    }
    EXPECT_EQ(verdictOf(HttpClassification::records(), row.exchange, withPath(base, struggle)), row.verdict);
}

INSTANTIATE_TEST_SUITE_P(Records, RecordsMatrixTest,
                         ::testing::Values(RecordsRow{StatusExchange::answer(200), V::accepted, true, ""},
                                           RecordsRow{StatusExchange::answer(201), V::accepted, true, ""},
                                           RecordsRow{StatusExchange::answer(400), V::refused, true,
                                                      "records: hub refused (400), batch dropped"},
                                           RecordsRow{StatusExchange::answer(401), V::tryLater, false,
                                                      "records: hub answered 401, kept for later"},
                                           RecordsRow{StatusExchange::answer(403), V::tryLater, false,
                                                      "records: hub answered 403, kept for later"},
                                           RecordsRow{StatusExchange::answer(404), V::tryLater, false,
                                                      "records: hub answered 404, kept for later"},
                                           RecordsRow{StatusExchange::answer(408), V::tryLater, false,
                                                      "records: hub answered 408, kept for later"},
                                           RecordsRow{StatusExchange::answer(413), V::refused, true,
                                                      "records: hub refused (413), batch dropped"},
                                           RecordsRow{StatusExchange::answer(429), V::tryLater, false,
                                                      "records: hub answered 429, kept for later"},
                                           RecordsRow{StatusExchange::answer(500), V::tryLater, false,
                                                      "records: hub answered 500, kept for later"},
                                           RecordsRow{StatusExchange::answer(503), V::tryLater, false,
                                                      "records: hub answered 503, kept for later"},
                                           RecordsRow{StatusExchange::refusedConnection(),
                                                      V::transportFailure, false, "records: offline, 2 kept"},
                                           RecordsRow{StatusExchange::reset(), V::transportFailure, false,
                                                      "records: offline, 2 kept"},
                                           RecordsRow{StatusExchange::stall(), V::transportFailure, false,
                                                      "records: offline, 2 kept"}),
                         [](const auto& info) { return info.param.exchange.name().toStdString(); });

// --- Diagnostics bundle ------------------------------------------------------------------------------

struct DiagnosticsRow {
    StatusExchange exchange;
    HttpVerdict verdict;
    std::optional<QString> code;
};

class DiagnosticsMatrixTest : public UploadFixture, public ::testing::WithParamInterface<DiagnosticsRow> {};

TEST_P(DiagnosticsMatrixTest, OnlyA2xxGivesTheRunItsBundle) {
    const DiagnosticsRow& row = GetParam();
    FailureRecords::setRequestTimeout(clientTimeout);
    const QUrl base =
        row.exchange.arrange(*service_, QStringLiteral("POST"), diagnostics, R"({"code":"D-9"})");
    Feedback::setFeedbackServiceURL(base);
    const QList<FailureRecords::Entry> events = {{QStringLiteral("2024-05-01T10:00:00Z"),
                                                  QStringLiteral("action_failed"), QStringLiteral("sync"),
                                                  std::nullopt, 2, QStringLiteral("E1")}};
    EXPECT_EQ(QCoro::waitFor(FailureRecords::diagnosticsBundle(QStringLiteral("failure:sync"), events)),
              row.code);
    if (row.exchange.fault() != Fault::refusedConnection) {
        EXPECT_EQ(service_->requests(diagnostics).size(), 1) << "never retried";
    }
    EXPECT_EQ(verdictOf(HttpClassification::diagnostics(), row.exchange, withPath(base, diagnostics)),
              row.verdict);
}

const std::optional<QString> none;

INSTANTIATE_TEST_SUITE_P(
    Diagnostics, DiagnosticsMatrixTest,
    ::testing::Values(DiagnosticsRow{StatusExchange::answer(200), V::accepted, QStringLiteral("D-9")},
                      DiagnosticsRow{StatusExchange::answer(201), V::accepted, QStringLiteral("D-9")},
                      DiagnosticsRow{StatusExchange::answer(400), V::refused, none},
                      DiagnosticsRow{StatusExchange::answer(401), V::refused, none},
                      DiagnosticsRow{StatusExchange::answer(403), V::refused, none},
                      DiagnosticsRow{StatusExchange::answer(404), V::refused, none},
                      DiagnosticsRow{StatusExchange::answer(408), V::refused, none},
                      DiagnosticsRow{StatusExchange::answer(413), V::refused, none},
                      DiagnosticsRow{StatusExchange::answer(429), V::refused, none},
                      DiagnosticsRow{StatusExchange::answer(500), V::refused, none},
                      DiagnosticsRow{StatusExchange::answer(503), V::refused, none},
                      DiagnosticsRow{StatusExchange::refusedConnection(), V::transportFailure, none},
                      DiagnosticsRow{StatusExchange::reset(), V::transportFailure, none},
                      DiagnosticsRow{StatusExchange::stall(), V::transportFailure, none}),
    [](const auto& info) { return info.param.exchange.name().toStdString(); });

// --- Keys and tokens with control characters ---------------------------------------------------------

using RecordsSecretsTest = UploadFixture;

TEST_F(RecordsSecretsTest, TokenWithALineBreakIsNeverSentAndTheBatchWaits) {
    setToken(QStringLiteral("token-1\r\nX-Injected: yes"));
    recordTwoFailures();
    const State before = FailureRecords::snapshot();
    EXPECT_FALSE(upload(at("2024-05-01T10:00:00Z")));
    EXPECT_TRUE(service_->requests(struggle).isEmpty());
    EXPECT_EQ(FailureRecords::snapshot().pending, before.pending);
    EXPECT_TRUE(log_.waitFor(
        QStringLiteral("records: not sent: the Authorization header holds a control character")));
    for (const QString& line : log_.lines())
        EXPECT_FALSE(line.contains(QStringLiteral("token-1"))) << line.toStdString();
}

TEST_F(RecordsSecretsTest, DiagnosticsWithAControlCharacterInTheAppKeyAreNeverSent) {
    Feedback::setAppKey(QStringLiteral("app\nX-Injected: yes"));
    const QList<FailureRecords::Entry> events = {{QStringLiteral("2024-05-01T10:00:00Z"),
                                                  QStringLiteral("action_failed"), QStringLiteral("sync"),
                                                  std::nullopt, 1, QStringLiteral("E1")}};
    EXPECT_EQ(QCoro::waitFor(FailureRecords::diagnosticsBundle(QStringLiteral("failure:sync"), events)),
              std::nullopt);
    EXPECT_TRUE(service_->requests(diagnostics).isEmpty());
    EXPECT_TRUE(log_.waitFor(
        QStringLiteral("records: diagnostics not sent: the X-App header holds a control character")));
}

} // namespace

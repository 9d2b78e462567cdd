// The real helper binary against the loopback feedback service: a key that would smuggle a header in,
// and a service that moved its endpoints behind a 308.

#include "FeedbackOutbox.h"
#include "OwnerDriver.h"
#include "ServiceStandIn.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class HelperServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(service.listen());
        FeedbackOutbox::setDirectory(outbox());
        ASSERT_TRUE(FeedbackOutbox::save(R"({"app_key":"app","client_report_id":"R-1","message":"kept"})"));
        FeedbackOutbox::setDirectory(std::nullopt);
        owner.environment().insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        owner.environment().insert(QStringLiteral("XDG_CONFIG_HOME"),
                                   home.filePath(QStringLiteral("config")));
    }

    QString outbox() const { return home.filePath(QStringLiteral("data/FeedbackOutbox")); }
    qsizetype outboxSize() const { return QDir(outbox()).entryList(QDir::Files).size(); }

    // Flushes and returns the number of reports the helper says were accepted.
    int flush() {
        const qsizetype from = owner.messages().size();
        owner.writeLine(R"({"cmd":"flush"})");
        const auto flushed = owner.waitFor(OwnerDriver::isFlushed, from, 30000ms);
        EXPECT_TRUE(flushed);
        return flushed ? owner.messages()[*flushed].value(QStringLiteral("sent")).toInt(-1) : -1;
    }

    QTemporaryDir home;
    ServiceStandIn service;
    OwnerDriver owner;
};

TEST_F(HelperServiceTest, IngestKeyWithALineBreakNeverReachesTheServiceAndTheReportWaits) {
    owner.environment().insert(QStringLiteral("MORVIK_FEEDBACK_URL"), service.baseUrl().toString());
    ASSERT_TRUE(owner.start());
    owner.writeLine(R"({"config":{"appKey":"app","ingestKey":"ingest-7\r\nX-Injected: yes"}})");
    EXPECT_EQ(flush(), 0);
    const auto line = owner.waitForLog(QStringLiteral("report not sent"));
    ASSERT_TRUE(line);
    EXPECT_EQ(line->value(QStringLiteral("log")).toString(),
              QStringLiteral("feedback: report not sent: the x-fb-key header holds a control character"));
    for (const QJsonObject& message : owner.messages())
        EXPECT_FALSE(message.value(QStringLiteral("log")).toString().contains(QStringLiteral("ingest-7")));
    EXPECT_TRUE(service.requests().isEmpty()) << "no X-Injected header arrived";
    EXPECT_EQ(outboxSize(), 1);

    // A sound key delivers the kept report.
    owner.writeLine(R"({"config":{"ingestKey":"ingest-7"}})");
    EXPECT_EQ(flush(), 1);
    const auto reports = service.requests(QStringLiteral("/report"));
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(reports[0].header("x-fb-key"), "ingest-7");
    EXPECT_FALSE(reports[0].hasHeader("X-Injected"));
    EXPECT_EQ(outboxSize(), 0);
}

TEST_F(HelperServiceTest, ReportBehindAPermanentRedirectCountsAsSentOnce) {
    service.setRedirect(QStringLiteral("/moved"), 308);
    owner.environment().insert(QStringLiteral("MORVIK_FEEDBACK_URL"),
                               service.url(QStringLiteral("/moved")).toString());
    ASSERT_TRUE(owner.start());
    owner.writeLine(R"({"config":{"appKey":"app","ingestKey":"ingest-7"}})");
    EXPECT_EQ(flush(), 1);
    EXPECT_EQ(outboxSize(), 0);
    EXPECT_EQ(flush(), 0) << "nothing is left to post again";
    EXPECT_EQ(service.requests(QStringLiteral("/moved/report")).size(), 1);
    EXPECT_EQ(service.requests(QStringLiteral("/report")).size(), 1);
}

} // namespace

// The "flush" command through the real helper binary, against the loopback feedback service.
#include "FeedbackOutbox.h"
#include "OwnerDriver.h"
#include "ServiceStandIn.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

TEST(HelperFlush, PostsTheOutboxAndCountsWhatWasAccepted) {
    QTemporaryDir home;
    ServiceStandIn service;
    ASSERT_TRUE(service.listen());
    const QString outbox = home.filePath(QStringLiteral("data/FeedbackOutbox"));
    FeedbackOutbox::setDirectory(outbox);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(FeedbackOutbox::save(
            QStringLiteral(R"({"client_report_id":"r%1","message":"m"})").arg(i).toUtf8()));
    FeedbackOutbox::setDirectory(std::nullopt);

    OwnerDriver owner;
    owner.environment().insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    owner.environment().insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    owner.environment().insert(QStringLiteral("MORVIK_FEEDBACK_URL"), service.baseUrl().toString());
    ASSERT_TRUE(owner.start());

    // Without keys nothing is attempted.
    owner.writeLine(R"({"cmd":"flush"})");
    const auto first = owner.waitFor(OwnerDriver::isFlushed);
    ASSERT_TRUE(first);
    EXPECT_EQ(owner.messages()[*first].value(QStringLiteral("sent")).toInt(-1), 0);
    EXPECT_TRUE(service.requests(QStringLiteral("/report")).isEmpty());

    service.enqueue(QStringLiteral("POST"), QStringLiteral("/report"),
                    ScriptedReply::json(500, "{}")); // the first one fails
    owner.writeLine(R"({"config":{"appKey":"app","ingestKey":"ingest"}})");
    owner.writeLine(R"({"cmd":"flush"})");
    const auto second = owner.waitFor(OwnerDriver::isFlushed, *first + 1, 30000ms);
    ASSERT_TRUE(second);
    EXPECT_EQ(owner.messages()[*second].value(QStringLiteral("sent")).toInt(-1), 2);
    EXPECT_EQ(service.requests(QStringLiteral("/report")).size(), 3);
    EXPECT_EQ(QDir(outbox).entryList(QDir::Files).size(), 1);
}

} // namespace

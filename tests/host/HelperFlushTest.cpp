// The "flush" command through the real helper binary, against the loopback feedback service: one
// helper, two helpers of one application, two applications, and helpers killed mid-flush.
#include "FeedbackOutbox.h"
#include "OwnerDriver.h"
#include "ServiceStandIn.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace std::chrono_literals;

namespace {

// A user's home with an outbox, the loopback service, and helpers started against both.
class HelperFlush : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(service.listen()); }

    QString outbox() const { return home.filePath(QStringLiteral("data/FeedbackOutbox")); }

    void store(const QString& id, const QString& appKey = QStringLiteral("app")) {
        FeedbackOutbox::setDirectory(outbox());
        ASSERT_TRUE(
            FeedbackOutbox::save(QStringLiteral(R"({"app_key":"%1","client_report_id":"%2","message":"m"})")
                                     .arg(appKey, id)
                                     .toUtf8()));
        FeedbackOutbox::setDirectory(std::nullopt);
    }

    std::unique_ptr<OwnerDriver> helper(const QString& appKey = QStringLiteral("app"),
                                        const QString& ingestKey = QStringLiteral("ingest")) {
        auto owner = std::make_unique<OwnerDriver>();
        owner->environment().insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        owner->environment().insert(QStringLiteral("XDG_CONFIG_HOME"),
                                    home.filePath(QStringLiteral("config")));
        owner->environment().insert(QStringLiteral("MORVIK_FEEDBACK_URL"), service.baseUrl().toString());
        EXPECT_TRUE(owner->start());
        owner->writeLine(
            QStringLiteral(R"({"config":{"appKey":"%1","ingestKey":"%2"}})").arg(appKey, ingestKey).toUtf8());
        EXPECT_TRUE(owner->waitForReadyCount(1));
        return owner;
    }

    static int sent(const QJsonObject& flushed) { return flushed.value(QStringLiteral("sent")).toInt(-1); }

    // How often the service received each report, by client_report_id.
    QHash<QString, int> received() const {
        QHash<QString, int> counts;
        for (const auto& request : service.requests(QStringLiteral("/report")))
            ++counts[QJsonDocument::fromJson(request.body).object().value("client_report_id").toString()];
        return counts;
    }

    QStringList storedIds() const {
        QStringList ids;
        for (const QString& name : QDir(outbox()).entryList({QStringLiteral("*.json")}, QDir::Files)) {
            QFile file(QDir(outbox()).filePath(name));
            EXPECT_TRUE(file.open(QIODevice::ReadOnly));
            const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
            EXPECT_TRUE(document.isObject()) << name.toStdString();
            ids.append(document.object().value("client_report_id").toString());
        }
        return ids;
    }

    QTemporaryDir home;
    ServiceStandIn service;
};

TEST_F(HelperFlush, PostsTheOutboxAndCountsWhatWasAccepted) {
    for (int i = 0; i < 3; ++i)
        store(QStringLiteral("r%1").arg(i));

    OwnerDriver owner;
    owner.environment().insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    owner.environment().insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    owner.environment().insert(QStringLiteral("MORVIK_FEEDBACK_URL"), service.baseUrl().toString());
    ASSERT_TRUE(owner.start());

    // Without keys nothing is attempted.
    owner.writeLine(R"({"cmd":"flush"})");
    const auto first = owner.waitFor(OwnerDriver::isFlushed);
    ASSERT_TRUE(first);
    EXPECT_EQ(sent(owner.messages()[*first]), 0);
    EXPECT_TRUE(service.requests(QStringLiteral("/report")).isEmpty());

    service.enqueue(QStringLiteral("POST"), QStringLiteral("/report"),
                    ScriptedReply::json(500, "{}")); // the first one fails
    owner.writeLine(R"({"config":{"appKey":"app","ingestKey":"ingest"}})");
    owner.writeLine(R"({"cmd":"flush"})");
    const auto second = owner.waitFor(OwnerDriver::isFlushed, *first + 1, 30000ms);
    ASSERT_TRUE(second);
    EXPECT_EQ(sent(owner.messages()[*second]), 2);
    EXPECT_EQ(service.requests(QStringLiteral("/report")).size(), 3);
    EXPECT_EQ(QDir(outbox()).entryList(QDir::Files).size(), 1);
}

TEST_F(HelperFlush, TwoHelpersOfOneApplicationPostEachReportOnce) {
    for (int i = 0; i < 3; ++i)
        store(QStringLiteral("r%1").arg(i));
    service.setReply(QStringLiteral("POST"), QStringLiteral("/report"),
                     ScriptedReply::delayed(150ms, 200, R"({"code":"ok"})"));
    auto a = helper();
    auto b = helper();
    a->writeLine(R"({"cmd":"flush"})");
    b->writeLine(R"({"cmd":"flush"})");
    // And a second, overlapping flush in one of them.
    a->writeLine(R"({"cmd":"flush"})");
    const auto aFirst = a->waitFor(OwnerDriver::isFlushed, 0, 30000ms);
    const auto aSecond = aFirst ? a->waitFor(OwnerDriver::isFlushed, *aFirst + 1, 30000ms) : std::nullopt;
    const auto bFirst = b->waitFor(OwnerDriver::isFlushed, 0, 30000ms);
    ASSERT_TRUE(aFirst && aSecond && bFirst);
    EXPECT_EQ(sent(a->messages()[*aFirst]) + sent(a->messages()[*aSecond]) + sent(b->messages()[*bFirst]), 3);
    const QHash<QString, int> counts = received();
    EXPECT_EQ(counts.size(), 3);
    for (auto it = counts.begin(); it != counts.end(); ++it)
        EXPECT_EQ(it.value(), 1) << it.key().toStdString();
    EXPECT_TRUE(storedIds().isEmpty());
}

TEST_F(HelperFlush, EachApplicationSendsOnlyItsOwnReportsWithItsOwnKey) {
    store(QStringLiteral("mine"), QStringLiteral("app"));
    store(QStringLiteral("theirs"), QStringLiteral("other-app"));
    auto other = helper(QStringLiteral("other-app"), QStringLiteral("other-ingest"));
    auto mine = helper();
    mine->writeLine(R"({"cmd":"flush"})");
    const auto flushed = mine->waitForMessage(OwnerDriver::isFlushed, 30000ms);
    ASSERT_TRUE(flushed);
    EXPECT_EQ(sent(*flushed), 1);
    auto requests = service.requests(QStringLiteral("/report"));
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(QJsonDocument::fromJson(requests[0].body).object().value("app_key"), QJsonValue("app"));
    EXPECT_EQ(requests[0].header("x-fb-key"), "ingest");
    EXPECT_EQ(storedIds(), QStringList{"theirs"}) << "a report of another application waits for it";

    other->writeLine(R"({"cmd":"flush"})");
    ASSERT_TRUE(other->waitForMessage(OwnerDriver::isFlushed, 30000ms));
    requests = service.requests(QStringLiteral("/report"));
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[1].header("x-fb-key"), "other-ingest");
    EXPECT_TRUE(storedIds().isEmpty());
}

// Helpers killed at random moments of a flush: afterwards every report was received once and left
// the outbox, or is still in the outbox (received or not: the service may have taken it just before
// the kill); none was received twice and every stored file is still a whole report.
TEST_F(HelperFlush, KilledMidFlushLosesNothingAndPostsNothingTwice) {
    constexpr int trials = 50;
    constexpr int reports = 4;
    service.setReply(QStringLiteral("POST"), QStringLiteral("/report"),
                     ScriptedReply::delayed(40ms, 200, R"({"code":"ok"})"));
    QStringList all;
    for (int i = 0; i < reports; ++i) {
        all.append(QStringLiteral("k%1").arg(i));
        store(all.last());
    }
    int killedMidway = 0;
    for (int trial = 0; trial < trials; ++trial) {
        auto owner = helper();
        owner->writeLine(R"({"cmd":"flush"})");
        owner->settle(std::chrono::milliseconds(QRandomGenerator::global()->bounded(0, 200)));
        owner->process().kill(); // SIGKILL, and nothing when it has ended already
        owner->process().waitForFinished(5000);

        const QHash<QString, int> counts = received();
        const QStringList stored = storedIds();
        for (const QString& id : all) {
            EXPECT_LE(counts.value(id), 1)
                << "trial " << trial << ": " << id.toStdString() << " posted twice";
            EXPECT_TRUE(counts.value(id) == 1 || stored.contains(id))
                << "trial " << trial << ": " << id.toStdString() << " lost";
        }
        if (!stored.isEmpty() && stored.size() < reports)
            ++killedMidway;
        // Start the next trial with every report waiting again, and the service's memory cleared.
        service.clearRequests();
        for (const QString& id : all)
            if (!stored.contains(id))
                store(id);
    }
    std::printf("[ figures  ] %d trials, %d killed with part of the outbox delivered\n", trials,
                killedMidway);
}

} // namespace

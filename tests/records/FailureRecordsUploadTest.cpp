// Uploading batches to a real loopback account service: when uploads run, what a batch holds, how
// each answer settles or keeps it, the daily limit, and the batch identity across retries and restarts.

#include "FailureRecords.h"
#include "Feedback.h"
#include "FeedbackRecords.h"
#include "FleetFeature.h"
#include "RecordsUploadSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using FailureRecords::Entry;
using FailureRecords::State;
using namespace RecordsTest;

namespace {

using RecordsUploadTest = UploadFixture;

const QString failedEvent = QStringLiteral("action_failed");

void recordFailure(const QString& feature, qint64 count = 1,
                   FailureRecords::Time when = at("2024-05-01T10:00:00Z")) {
    FailureRecords::record(failedEvent, feature, std::nullopt, count, QStringLiteral("E1"), when);
}

QStringList journeySteps(const QJsonObject& batch) {
    QStringList steps;
    for (const QJsonValue item : batch.value(QStringLiteral("journey")).toArray())
        steps.append(item.toObject().value(QStringLiteral("step")).toString());
    return steps;
}

QStringList eventFeatures(const QJsonObject& batch) {
    QStringList features;
    for (const QJsonValue item : batch.value(QStringLiteral("events")).toArray())
        features.append(item.toObject().value(QStringLiteral("feature")).toString());
    return features;
}

TEST_F(RecordsUploadTest, BurstOfFailuresLeadsToOneUploadAfterTheDebounce) {
    FailureRecords::setDebounce(300ms);
    QElapsedTimer sinceFirst;
    sinceFirst.start();
    const FleetFeature features[] = {FleetFeature::sync, FleetFeature::save, FleetFeature::open};
    for (int i = 0; i < 10; ++i)
        Feedback::failed(features[i % 3], QStringLiteral("E1"));
    ASSERT_TRUE(waitForBatches(1));
    EXPECT_GE(sinceFirst.elapsed(), 300);

    const QJsonObject batch = batches().first();
    EXPECT_EQ(eventFeatures(batch),
              (QStringList{QStringLiteral("sync"), QStringLiteral("save"), QStringLiteral("open")}));
    qint64 total = 0;
    for (const QJsonValue item : batch.value(QStringLiteral("events")).toArray())
        total += item.toObject().value(QStringLiteral("count")).toInteger();
    EXPECT_EQ(total, 10);
    const RecordedRequest request = service_->requests(struggle).first();
    EXPECT_EQ(request.header("Authorization"), QByteArray("Bearer token-1"));
    EXPECT_EQ(request.header("Content-Type"), QByteArray("application/json"));

    ASSERT_TRUE(waitUntil([] { return FailureRecords::snapshot().pending.isEmpty(); }));
    EXPECT_FALSE(service_->waitForRequests(struggle, 2, 900ms)) << "nothing is left to send";
}

TEST_F(RecordsUploadTest, WithoutATokenNothingIsSentOrChanged) {
    struct Case {
        const char* name;
        bool hook;
        std::optional<QString> token;
    };
    const Case cases[] = {{"no hook", false, std::nullopt},
                          {"hook answers nothing", true, std::nullopt},
                          {"hook answers blank", true, QStringLiteral(" \n\t")}};
    recordFailure(QStringLiteral("sync"));
    const State before = FailureRecords::snapshot();
    ASSERT_TRUE(waitUntil([&] { return storedState() == before; }));
    const QByteArray bytes = readFile(storePath_);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.hook)
            Feedback::setAccountToken([token = c.token](auto done) { done(token); });
        else
            Feedback::setAccountToken({});
        EXPECT_FALSE(upload());
        EXPECT_EQ(FailureRecords::snapshot(), before);
    }
    FailureRecords::resetForTests();
    EXPECT_EQ(readFile(storePath_), bytes);
    EXPECT_TRUE(service_->requests(struggle).isEmpty());
}

TEST_F(RecordsUploadTest, FirstUploadWithATokenSendsTheSignedInStamp) {
    Feedback::setRecordCounts([] {
        return QMap<QString, qint64>{{QStringLiteral("launches"), 3}, {QStringLiteral("Bad-Key"), 1}};
    });
    EXPECT_TRUE(upload(at("2024-05-01T10:00:00Z")));
    ASSERT_EQ(batches().size(), 1);
    const QJsonObject batch = batches().first();
    EXPECT_EQ(batch.value(QStringLiteral("journey")).toArray(),
              (QJsonArray{QJsonObject{{QStringLiteral("step"), QStringLiteral("signed_in")},
                                      {QStringLiteral("ts"), QStringLiteral("2024-05-01T10:00:00Z")}}}));
    EXPECT_EQ(batch.value(QStringLiteral("events")).toArray(), QJsonArray());
    EXPECT_EQ(batch.value(QStringLiteral("counts")).toObject(),
              (QJsonObject{{QStringLiteral("launches"), 3}}));
    EXPECT_EQ(batch.value(QStringLiteral("upload_id")).toString().size(), 36);
    EXPECT_EQ(batch.value(QStringLiteral("upload_id")).toString(),
              batch.value(QStringLiteral("upload_id")).toString().toUpper());
    EXPECT_EQ(FailureRecords::snapshot().journeySent, QStringList{QStringLiteral("signed_in")});

    // Nothing new: no batch, no request.
    EXPECT_FALSE(upload(at("2024-05-01T10:01:00Z")));
    EXPECT_EQ(batches().size(), 1);
    EXPECT_TRUE(service_->requests(diagnostics).isEmpty()) << "journey stamps alone make no bundle";
}

TEST_F(RecordsUploadTest, AnswerStatusDecidesWhatSettles) {
    struct Case {
        const char* name;
        ScriptedReply reply;
        bool accepted;
        bool settled;
        QString logLine; // empty: none
    };
    const Case cases[] = {
        {"200", ScriptedReply::json(200, "{}"), true, true, {}},
        {"204", ScriptedReply::json(204, {}), true, true, {}},
        {"400", ScriptedReply::json(400, "{}"), false, true,
         QStringLiteral("records: hub refused (400), batch dropped")},
        {"413", ScriptedReply::json(413, "{}"), false, true,
         QStringLiteral("records: hub refused (413), batch dropped")},
        {"401", ScriptedReply::json(401, "{}"), false, false,
         QStringLiteral("records: hub answered 401, kept for later")},
        {"403", ScriptedReply::json(403, "{}"), false, false,
         QStringLiteral("records: hub answered 403, kept for later")},
        {"429", ScriptedReply::json(429, "{}"), false, false,
         QStringLiteral("records: hub answered 429, kept for later")},
        {"500", ScriptedReply::json(500, "{}"), false, false,
         QStringLiteral("records: hub answered 500, kept for later")},
        {"answer cut short", ScriptedReply::cut(2, 200, "{\"accepted\":2}"), false, false,
         QStringLiteral("records: offline, 2 kept")},
        {"no answer in time", ScriptedReply::delayed(3s, 200, "{}"), false, false,
         QStringLiteral("records: offline, 2 kept")},
    };
    FailureRecords::setRequestTimeout(400ms);
    auto refusedCalls = std::make_shared<std::atomic<int>>(0);
    auto refusedOnMain = std::make_shared<std::atomic<bool>>(false);
    Feedback::setAccountTokenRefused([refusedCalls, refusedOnMain] {
        refusedOnMain->store(QThread::currentThread() == QCoreApplication::instance()->thread());
        ++*refusedCalls;
    });

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(storePath_);
        FailureRecords::resetForTests();
        service_->clearRequests();
        refusedCalls->store(0);
        log_.install(); // a fresh list of lines

        recordFailure(QStringLiteral("sync"), 3);
        recordFailure(QStringLiteral("save"));
        const State before = FailureRecords::snapshot();
        service_->enqueue(QStringLiteral("POST"), struggle, c.reply);

        EXPECT_EQ(upload(at("2024-05-01T10:00:00Z")), c.accepted);
        ASSERT_EQ(batches().size(), 1);
        const QString uploadID = batches().first().value(QStringLiteral("upload_id")).toString();
        const State after = FailureRecords::snapshot();
        if (c.settled) {
            EXPECT_TRUE(after.pending.isEmpty());
            EXPECT_EQ(after.uploadID, std::nullopt);
            EXPECT_EQ(after.sentToday, 1);
            EXPECT_EQ(after.journeySent,
                      (QStringList{QStringLiteral("first_action"), QStringLiteral("signed_in")}));
        } else {
            EXPECT_EQ(after.pending, before.pending);
            EXPECT_EQ(after.uploadID, uploadID);
            EXPECT_EQ(after.sentToday, 0);
            EXPECT_TRUE(after.journeySent.isEmpty());
        }
        if (c.logLine.isEmpty())
            EXPECT_TRUE(log_.lines().isEmpty()) << log_.lines().join(u'|').toStdString();
        else
            EXPECT_TRUE(log_.waitFor(c.logLine)) << log_.lines().join(u'|').toStdString();
        EXPECT_EQ(storedState(), after);

        if (c.logLine.contains(QStringLiteral("401"))) {
            ASSERT_TRUE(waitUntil([&] { return refusedCalls->load() == 1; }));
            EXPECT_TRUE(refusedOnMain->load());
        }
        if (!c.settled) {
            // The next attempt sends the same batch under the same identifier.
            EXPECT_TRUE(upload(at("2024-05-01T10:05:00Z")));
            ASSERT_GE(batches().size(), 2);
            EXPECT_EQ(batches().last().value(QStringLiteral("upload_id")).toString(), uploadID);
            EXPECT_EQ(eventFeatures(batches().last()),
                      (QStringList{QStringLiteral("sync"), QStringLiteral("save")}));
            EXPECT_TRUE(FailureRecords::snapshot().pending.isEmpty());
        }
        QCoreApplication::processEvents();
        EXPECT_EQ(refusedCalls->load(), c.logLine.contains(QStringLiteral("401")) ? 1 : 0);
    }
}

TEST_F(RecordsUploadTest, OccurrencesDuringAnUploadStayPending) {
    recordFailure(QStringLiteral("sync"), 3, at("2024-05-01T10:00:00Z"));
    service_->enqueue(QStringLiteral("POST"), struggle, ScriptedReply::delayed(600ms, 200, "{}"));
    QCoro::Task<bool> running = FailureRecords::uploadNow(at("2024-05-01T10:00:10Z"));
    ASSERT_TRUE(service_->waitForRequests(struggle, 1, 10s));
    recordFailure(QStringLiteral("sync"), 1, at("2024-05-01T10:00:11Z"));
    recordFailure(QStringLiteral("sync"), 1, at("2024-05-01T10:00:12Z"));
    EXPECT_EQ(FailureRecords::snapshot().pending.first().count, 5);

    EXPECT_TRUE(QCoro::waitFor(running));
    const State after = FailureRecords::snapshot();
    ASSERT_EQ(after.pending.size(), 1);
    EXPECT_EQ(after.pending.first().count, 2);
    EXPECT_EQ(after.pending.first().ts, QStringLiteral("2024-05-01T10:00:00Z"));
    EXPECT_EQ(after.uploadID, std::nullopt);
}

TEST_F(RecordsUploadTest, ASecondTriggerDuringAnUploadIsDropped) {
    recordFailure(QStringLiteral("sync"));
    service_->enqueue(QStringLiteral("POST"), struggle, ScriptedReply::delayed(500ms, 200, "{}"));
    QCoro::Task<bool> running = FailureRecords::uploadNow();
    ASSERT_TRUE(service_->waitForRequests(struggle, 1, 10s));
    EXPECT_FALSE(upload());
    EXPECT_TRUE(QCoro::waitFor(running));
    EXPECT_EQ(service_->requests(struggle).size(), 1);
}

TEST_F(RecordsUploadTest, TwelveSettledBatchesADayThenTheNextUtcDay) {
    const auto day1 = at("2024-05-01T23:50:00Z");
    for (int i = 0; i < 12; ++i) {
        recordFailure(QStringLiteral("f%1").arg(i), 1, day1);
        // Refused batches count against the day too.
        if (i == 3)
            service_->enqueue(QStringLiteral("POST"), struggle, ScriptedReply::json(413, "{}"));
        EXPECT_EQ(upload(day1 + std::chrono::seconds(i)), i != 3) << i;
    }
    ASSERT_EQ(batches().size(), 12);
    State state = FailureRecords::snapshot();
    EXPECT_EQ(state.sentDay, QStringLiteral("2024-05-01"));
    EXPECT_EQ(state.sentToday, 12);

    recordFailure(QStringLiteral("late"), 1, day1);
    EXPECT_FALSE(upload(at("2024-05-01T23:59:59Z")));
    EXPECT_EQ(batches().size(), 12);
    EXPECT_EQ(FailureRecords::snapshot().pending.size(), 1);

    EXPECT_TRUE(upload(at("2024-05-02T00:00:01Z")));
    ASSERT_EQ(batches().size(), 13);
    EXPECT_EQ(eventFeatures(batches().last()), QStringList{QStringLiteral("late")});
    state = FailureRecords::snapshot();
    EXPECT_EQ(state.sentDay, QStringLiteral("2024-05-02"));
    EXPECT_EQ(state.sentToday, 1);
    EXPECT_EQ(storedState(), state);
}

// The injected clock: scheduled uploads and the entry points read it instead of the system clock.
std::atomic<qint64> injectedSeconds{0};
FailureRecords::Time injectedNow() {
    return FailureRecords::Time(std::chrono::seconds(injectedSeconds.load()));
}

TEST_F(RecordsUploadTest, ScheduledUploadsUseTheInjectedClock) {
    injectedSeconds =
        std::chrono::duration_cast<std::chrono::seconds>(at("2024-05-03T00:00:30Z").time_since_epoch())
            .count();
    FailureRecords::setClock(&injectedNow);
    FailureRecords::setDebounce(100ms);
    Feedback::failed(FleetFeature::sync);
    ASSERT_TRUE(waitForBatches(1));
    const QJsonObject batch = batches().first();
    EXPECT_EQ(batch.value(QStringLiteral("events"))
                  .toArray()
                  .first()
                  .toObject()
                  .value(QStringLiteral("ts"))
                  .toString(),
              QStringLiteral("2024-05-03T00:00:30Z"));
    ASSERT_TRUE(waitUntil([] { return FailureRecords::snapshot().sentToday == 1; }));
    EXPECT_EQ(FailureRecords::snapshot().sentDay, QStringLiteral("2024-05-03"));
    EXPECT_EQ(FailureRecords::snapshot().journey.value(QStringLiteral("signed_in")).ts,
              QStringLiteral("2024-05-03T00:00:30Z"));
}

TEST_F(RecordsUploadTest, SeventyPendingGoOutAsFiftyThenTheRest) {
    State stored;
    for (int i = 0; i < 70; ++i)
        stored.pending.append({QStringLiteral("2024-05-01T10:00:00Z"), failedEvent,
                               QStringLiteral("f%1").arg(i), std::nullopt, 1, QStringLiteral("none")});
    QDir().mkpath(QFileInfo(storePath_).path());
    writeFile(storePath_, stored.encode());
    FailureRecords::resetForTests();
    FailureRecords::setDebounce(200ms);

    EXPECT_TRUE(upload());
    ASSERT_EQ(batches().size(), 1);
    const QStringList first = eventFeatures(batches().first());
    ASSERT_EQ(first.size(), 50);
    EXPECT_EQ(first.first(), QStringLiteral("f0"));
    EXPECT_EQ(first.last(), QStringLiteral("f49"));

    // What remains goes out by itself, one debounce later.
    ASSERT_TRUE(waitForBatches(2));
    const QStringList second = eventFeatures(batches().at(1));
    ASSERT_EQ(second.size(), 20);
    EXPECT_EQ(second.first(), QStringLiteral("f50"));
    ASSERT_TRUE(waitUntil([] { return FailureRecords::snapshot().pending.isEmpty(); }));
}

TEST_F(RecordsUploadTest, EveryLaunchLeadsToAnUploadAttempt) {
    FailureRecords::setStartDelay(200ms);
    Feedback::startRecords();
    ASSERT_TRUE(waitForBatches(1));
    EXPECT_EQ(journeySteps(batches().first()),
              (QStringList{QStringLiteral("opened"), QStringLiteral("signed_in")}));
    ASSERT_TRUE(waitUntil([] { return FailureRecords::snapshot().journeySent.size() == 2; }));
    const QString opened = FailureRecords::snapshot().journey.value(QStringLiteral("opened")).ts;

    // The next launch: the stamp stays, and an attempt follows although nothing is new.
    FailureRecords::resetForTests();
    const int callsBefore = tokenCalls_->load();
    Feedback::startRecords();
    ASSERT_TRUE(waitUntil([&] { return tokenCalls_->load() == callsBefore + 1; }));
    EXPECT_EQ(FailureRecords::snapshot().journey.value(QStringLiteral("opened")).ts, opened);
    EXPECT_EQ(batches().size(), 1);
}

TEST_F(RecordsUploadTest, DisabledRecordsDoNotUpload) {
    recordFailure(QStringLiteral("sync"));
    Feedback::setRecordsEnabled(false);
    EXPECT_FALSE(upload());
    EXPECT_EQ(tokenCalls_->load(), 0);
    EXPECT_TRUE(service_->requests(struggle).isEmpty());
}

TEST_F(RecordsUploadTest, TokensGoOnlyToHttpsOrLoopback) {
    Feedback::setAccountServiceURL(QUrl(QStringLiteral("http://192.0.2.1:8080")));
    recordFailure(QStringLiteral("sync"));
    EXPECT_FALSE(upload());
    EXPECT_EQ(tokenCalls_->load(), 0) << "the token is not even asked for";
    EXPECT_TRUE(log_.contains(
        QStringLiteral("records: account service is neither https nor loopback, nothing sent")));
    EXPECT_EQ(FailureRecords::snapshot().uploadID, std::nullopt);
}

TEST_F(RecordsUploadTest, AnotherProcessesUploadDropsThisTrigger) {
    // Another process of the application is uploading from the same store file: it holds the upload
    // lock beside the file. This process's trigger is dropped, as its own second trigger would be.
    recordFailure(QStringLiteral("sync"));
    ASSERT_TRUE(FailureRecords::flush());
    const int fd = ::open(QFile::encodeName(storePath_ + QStringLiteral(".upload.lock")).constData(),
                          O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    EXPECT_FALSE(upload());
    EXPECT_TRUE(service_->requests(struggle).isEmpty());
    EXPECT_EQ(FailureRecords::snapshot().uploadID, std::nullopt) << "no batch was prepared";

    // When that process ends (or lets go), the next trigger sends.
    ::close(fd);
    EXPECT_TRUE(upload());
    EXPECT_EQ(batches().size(), 1);
}

TEST_F(RecordsUploadTest, PlainEntryPointReportsOnTheQueue) {
    recordFailure(QStringLiteral("sync"));
    std::atomic<int> result{-1};
    FailureRecords::uploadNow(FailureRecords::now(), [&](bool accepted) { result = accepted ? 1 : 0; });
    ASSERT_TRUE(waitUntil([&] { return result.load() != -1; }));
    EXPECT_EQ(result.load(), 1);
    EXPECT_EQ(batches().size(), 1);
}

TEST_F(RecordsUploadTest, UploadIdentifierSurvivesARestart) {
    // Two real processes in turn, each computing the store location from its environment.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dir_.path());
    environment.insert(QStringLiteral("MORVIK_ACCOUNT_URL"), service_->baseUrl().toString());
    environment.insert(QStringLiteral("MORVIK_FEEDBACK_URL"), service_->baseUrl().toString());
    const QString childStore = dir_.filePath(QStringLiteral("restart_app/DovarureVuz/records.json"));
    const auto runChild = [&](const QString& mode) {
        QProcess child;
        child.setProcessEnvironment(environment);
        child.start(QStringLiteral(RECORDS_RESTART_CHILD), {mode});
        EXPECT_TRUE(child.waitForFinished(60000));
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardError().toStdString();
        return QString::fromUtf8(child.readAllStandardOutput()).trimmed();
    };

    service_->enqueue(QStringLiteral("POST"), struggle, ScriptedReply::json(503, "{}"));
    EXPECT_EQ(runChild(QStringLiteral("record")), QStringLiteral("kept"));
    const auto kept = State::decode(readFile(childStore));
    ASSERT_TRUE(kept);
    ASSERT_TRUE(kept->uploadID);
    EXPECT_EQ(kept->pending.size(), 1);

    EXPECT_EQ(runChild(QStringLiteral("upload")), QStringLiteral("accepted"));
    ASSERT_EQ(batches().size(), 2);
    EXPECT_EQ(batches().at(0).value(QStringLiteral("upload_id")).toString(), *kept->uploadID);
    EXPECT_EQ(batches().at(1).value(QStringLiteral("upload_id")).toString(), *kept->uploadID);
    const auto settled = State::decode(readFile(childStore));
    ASSERT_TRUE(settled);
    EXPECT_EQ(settled->uploadID, std::nullopt);
    EXPECT_TRUE(settled->pending.isEmpty());
}

} // namespace

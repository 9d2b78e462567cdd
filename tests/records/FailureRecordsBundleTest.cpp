// The run's diagnostics bundle: made once per run by the application's uploader (with its deadline)
// or by the feedback service, and its code carried by every batch of the run.

#include "FailureRecords.h"
#include "Feedback.h"
#include "FeedbackRecords.h"
#include "FleetFeature.h"
#include "RecordsUploadSupport.h"

#include <QCoreApplication>
#include <QJsonArray>

#include <gtest/gtest.h>

#include <thread>

using FailureRecords::Entry;
using namespace RecordsTest;

namespace {

using Code = std::optional<QString>;

class DiagnosticsBundleTest : public UploadFixture {
protected:
    void SetUp() override {
        UploadFixture::SetUp();
        FailureRecords::setDiagnosticsDeadline(300ms);
    }

    // Installs an uploader that counts its calls and answers through `answer`.
    void setUploader(std::function<void(Feedback::Completion<Code>)> answer) {
        Feedback::setDiagnosticsUploader(
            [this, answer](const QString& reason, Feedback::Completion<Code> done) {
                {
                    QMutexLocker lock(&mutex_);
                    reasons_.append(reason);
                    onMainThread_ |= QThread::currentThread() == QCoreApplication::instance()->thread();
                }
                answer(std::move(done));
            });
    }
    QStringList reasons() const {
        QMutexLocker lock(&mutex_);
        return reasons_;
    }

    static std::optional<QString> bundleOf(const QJsonObject& batch) {
        const QJsonValue value = batch.value(QStringLiteral("bundle_id"));
        return value.isUndefined() ? std::nullopt : std::optional<QString>(value.toString());
    }

    static void recordFailure(const QString& feature) {
        FailureRecords::record(QStringLiteral("action_failed"), feature, std::nullopt, 1,
                               QStringLiteral("E1"));
    }

    mutable QMutex mutex_;
    QStringList reasons_;
    bool onMainThread_ = false;
};

const QList<Entry> someEvents = {{QStringLiteral("2024-05-01T10:00:00Z"), QStringLiteral("action_failed"),
                                  QStringLiteral("sync"), std::nullopt, 2, QStringLiteral("E1")}};

TEST_F(DiagnosticsBundleTest, UploaderCodeTravelsWithEveryBatchOfTheRun) {
    setUploader([](Feedback::Completion<Code> done) { done(QStringLiteral("AB12")); });
    recordFailure(QStringLiteral("sync"));
    recordFailure(QStringLiteral("save"));
    EXPECT_TRUE(upload());
    recordFailure(QStringLiteral("open"));
    EXPECT_TRUE(upload());
    ASSERT_EQ(batches().size(), 2);
    EXPECT_EQ(bundleOf(batches().at(0)), QStringLiteral("AB12"));
    EXPECT_EQ(bundleOf(batches().at(1)), QStringLiteral("AB12"));
    EXPECT_EQ(reasons(), QStringList{QStringLiteral("failure:sync")}) << "asked once, for the oldest event";
    EXPECT_FALSE(onMainThread_) << "the uploader runs on the upload task";
    EXPECT_TRUE(service_->requests(diagnostics).isEmpty());

    // A new run makes a bundle of its own.
    FailureRecords::resetForTests();
    recordFailure(QStringLiteral("share"));
    EXPECT_TRUE(upload());
    EXPECT_EQ(reasons().size(), 2);
}

TEST_F(DiagnosticsBundleTest, LateUploaderAnswerIsDroppedForTheWholeRun) {
    // The uploader keeps its completion; the test answers only after the upload gave up waiting.
    auto kept = std::make_shared<std::pair<QMutex, Feedback::Completion<Code>>>();
    setUploader([kept](Feedback::Completion<Code> done) {
        QMutexLocker lock(&kept->first);
        kept->second = std::move(done);
    });
    recordFailure(QStringLiteral("sync"));
    EXPECT_TRUE(upload());
    Feedback::Completion<Code> late;
    {
        QMutexLocker lock(&kept->first);
        late = kept->second;
    }
    ASSERT_TRUE(late);
    late(QStringLiteral("LATE"));
    EXPECT_EQ(FailureRecords::sessionBundle(), std::nullopt);

    recordFailure(QStringLiteral("save"));
    EXPECT_TRUE(upload());
    ASSERT_EQ(batches().size(), 2);
    EXPECT_EQ(bundleOf(batches().at(0)), std::nullopt);
    EXPECT_EQ(bundleOf(batches().at(1)), std::nullopt);
    EXPECT_EQ(reasons().size(), 1);
}

TEST_F(DiagnosticsBundleTest, FirstOfSeveralCompletionsDecides) {
    struct Case {
        const char* name;
        std::function<void(Feedback::Completion<Code>)> answer;
        Code expected;
    };
    const Case cases[] = {
        {"twice at once",
         [](auto done) {
             done(QStringLiteral("FIRST"));
             done(QStringLiteral("SECOND"));
         },
         QStringLiteral("FIRST")},
        {"twice from another thread",
         [](auto done) {
             std::thread([done] {
                 done(QStringLiteral("FIRST"));
                 done(QStringLiteral("SECOND"));
             }).detach();
         },
         QStringLiteral("FIRST")},
        {"nothing, then a code",
         [](auto done) {
             done(std::nullopt);
             done(QStringLiteral("LATER"));
         },
         std::nullopt},
        {"never", [](auto) {}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setUploader(c.answer);
        EXPECT_EQ(
            QCoro::waitFor(FailureRecords::diagnosticsBundle(QStringLiteral("failure:sync"), someEvents)),
            c.expected);
    }
}

TEST_F(DiagnosticsBundleTest, AbsentCodeIsNotAskedForAgainInTheRun) {
    setUploader([](Feedback::Completion<Code> done) { done(std::nullopt); });
    recordFailure(QStringLiteral("sync"));
    EXPECT_TRUE(upload());
    recordFailure(QStringLiteral("save"));
    EXPECT_TRUE(upload());
    EXPECT_EQ(reasons().size(), 1);
    EXPECT_EQ(bundleOf(batches().at(0)), std::nullopt);
    EXPECT_EQ(bundleOf(batches().at(1)), std::nullopt);
    EXPECT_TRUE(FailureRecords::sessionBundleTried());
}

TEST_F(DiagnosticsBundleTest, FeedbackServiceAnswerTable) {
    struct Case {
        const char* name;
        std::optional<ScriptedReply> reply; // none: the healthy service's own answer
        Code expected;
    };
    const Case cases[] = {
        {"201 with a code", ScriptedReply::json(201, R"({"code":"D-77"})"), QStringLiteral("D-77")},
        {"empty code", ScriptedReply::json(200, R"({"code":""})"), std::nullopt},
        {"code a number", ScriptedReply::json(200, R"({"code":5})"), std::nullopt},
        {"no code", ScriptedReply::json(200, R"({"id":"x"})"), std::nullopt},
        {"not an object", ScriptedReply::json(200, R"(["D-77"])"), std::nullopt},
        {"not JSON", ScriptedReply::json(200, "D-77"), std::nullopt},
        {"500 with a code", ScriptedReply::json(500, R"({"code":"D-77"})"), std::nullopt},
        {"answer cut short", ScriptedReply::cut(3, 200, R"({"code":"D-77"})"), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.reply)
            service_->enqueue(QStringLiteral("POST"), diagnostics, *c.reply);
        EXPECT_EQ(
            QCoro::waitFor(FailureRecords::diagnosticsBundle(QStringLiteral("failure:sync"), someEvents)),
            c.expected);
    }
    // The healthy service stores the bundle and answers its code.
    const Code healthy =
        QCoro::waitFor(FailureRecords::diagnosticsBundle(QStringLiteral("failure:sync"), someEvents));
    ASSERT_TRUE(healthy);
    EXPECT_FALSE(healthy->isEmpty());
}

TEST_F(DiagnosticsBundleTest, ServiceRequestCarriesTheBundleDocument) {
    Feedback::setAppKey(QStringLiteral("app-key-1"));
    Feedback::setVersion(QStringLiteral("2.1"));
    Feedback::setBuild(QStringLiteral("77"));
    Feedback::setRecordCounts([] { return QMap<QString, qint64>{{QStringLiteral("launches"), 4}}; });
    EXPECT_TRUE(
        QCoro::waitFor(FailureRecords::diagnosticsBundle(QStringLiteral("failure:sync"), someEvents)));

    ASSERT_EQ(service_->requests(diagnostics).size(), 1);
    const RecordedRequest request = service_->requests(diagnostics).first();
    EXPECT_EQ(request.method, QByteArray("POST"));
    EXPECT_EQ(request.header("Content-Type"), QByteArray("application/json"));
    EXPECT_EQ(request.header("X-App"), QByteArray("app-key-1"));
    EXPECT_EQ(request.header("X-App-Version"), QByteArray("2.1 (77)"));
    EXPECT_EQ(request.header("X-Platform"), QByteArray("linux"));
    EXPECT_EQ(request.header("X-Diag-Reason"), QByteArray("failure"));
    EXPECT_FALSE(request.hasHeader("Authorization"));

    const QJsonObject body = jsonBody(request);
    EXPECT_EQ(body.value(QStringLiteral("schema")).toString(),
              QStringLiteral("dovarurevuz.failure-bundle.v1"));
    EXPECT_EQ(body.value(QStringLiteral("app")).toString(), QStringLiteral("app-key-1"));
    EXPECT_EQ(body.value(QStringLiteral("reason")).toString(), QStringLiteral("failure:sync"));
    EXPECT_EQ(body.value(QStringLiteral("version")).toString(), QStringLiteral("2.1"));
    EXPECT_EQ(body.value(QStringLiteral("build")), QJsonValue(77));
    EXPECT_EQ(body.value(QStringLiteral("os")).toString(), FailureRecords::Device::os());
    EXPECT_EQ(body.value(QStringLiteral("hw")).toObject(), FailureRecords::Device::hardware());
    EXPECT_EQ(body.value(QStringLiteral("signed_in")), QJsonValue(true));
    EXPECT_EQ(body.value(QStringLiteral("tracks_success")), QJsonValue(false));
    EXPECT_EQ(body.value(QStringLiteral("journey")).toArray(), QJsonArray());
    EXPECT_EQ(body.value(QStringLiteral("counts")).toObject(),
              (QJsonObject{{QStringLiteral("launches"), 4}}));
    const QJsonArray events = body.value(QStringLiteral("events")).toArray();
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events.first().toObject().value(QStringLiteral("count")), QJsonValue(2));
    EXPECT_TRUE(events.first().toObject().value(QStringLiteral("account_kind")).isNull());
    EXPECT_FALSE(body.contains(QStringLiteral("upload_id")));
    EXPECT_FALSE(body.contains(QStringLiteral("bundle_id")));
}

TEST_F(DiagnosticsBundleTest, BundleGoesOnlyToHttpsOrLoopback) {
    // The bundle carries the application's key and the device facts: never in clear text to another
    // machine. (The address is a documentation address; nothing is sent to it.)
    Feedback::setAppKey(QStringLiteral("app-key-1"));
    Feedback::setFeedbackServiceURL(QUrl(QStringLiteral("http://192.0.2.1:8080")));
    EXPECT_EQ(QCoro::waitFor(FailureRecords::diagnosticsBundle(QStringLiteral("failure:sync"), someEvents)),
              std::nullopt);

    // The batch still goes to the (loopback) account service, without "bundle_id".
    FailureRecords::record(QStringLiteral("action_failed"), QStringLiteral("sync"), std::nullopt, 1,
                           QStringLiteral("E1"));
    EXPECT_TRUE(upload());
    ASSERT_EQ(batches().size(), 1);
    EXPECT_FALSE(batches().first().contains(QStringLiteral("bundle_id")));
    EXPECT_TRUE(FailureRecords::sessionBundleTried());
    EXPECT_TRUE(service_->requests(diagnostics).isEmpty());

    // Over http to this machine's loopback it is sent.
    Feedback::setFeedbackServiceURL(service_->baseUrl());
    EXPECT_TRUE(
        QCoro::waitFor(FailureRecords::diagnosticsBundle(QStringLiteral("failure:sync"), someEvents)));
    EXPECT_EQ(service_->requests(diagnostics).size(), 1);
}

TEST_F(DiagnosticsBundleTest, JourneyOnlyBatchMakesNoBundle) {
    Feedback::tried(FleetFeature::sync);
    EXPECT_TRUE(upload());
    EXPECT_TRUE(service_->requests(diagnostics).isEmpty());
    EXPECT_EQ(bundleOf(batches().at(0)), std::nullopt);
    EXPECT_FALSE(FailureRecords::sessionBundleTried());

    service_->enqueue(QStringLiteral("POST"), diagnostics, ScriptedReply::json(200, R"({"code":"B-9"})"));
    recordFailure(QStringLiteral("sync"));
    EXPECT_TRUE(upload());
    ASSERT_EQ(service_->requests(diagnostics).size(), 1);
    EXPECT_EQ(jsonBody(service_->requests(diagnostics).first()).value(QStringLiteral("reason")).toString(),
              QStringLiteral("failure:sync"));
    EXPECT_EQ(bundleOf(batches().at(1)), QStringLiteral("B-9"));
}

TEST_F(DiagnosticsBundleTest, PlainEntryPointAnswersOnTheQueue) {
    setUploader([](Feedback::Completion<Code> done) { done(QStringLiteral("P-1")); });
    auto answered = std::make_shared<std::atomic<bool>>(false);
    auto code = std::make_shared<Code>();
    FailureRecords::diagnosticsBundle(QStringLiteral("failure:sync"), someEvents,
                                      [answered, code](Code result) {
                                          *code = std::move(result);
                                          answered->store(true);
                                      });
    ASSERT_TRUE(waitUntil([&] { return answered->load(); }));
    EXPECT_EQ(*code, QStringLiteral("P-1"));
}

} // namespace

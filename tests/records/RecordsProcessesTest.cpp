// Several real processes of one application on one store file: recordings from two processes all
// arrive, processes killed with SIGKILL at random moments never cost another process (or themselves)
// a saved occurrence and never leave a file that does not decode, and two uploading processes
// settle each batch once and no more than the day's limit.

#include "FailureRecords.h"
#include "Feedback.h"
#include "RecordsUploadSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <thread>

using FailureRecords::Entry;
using FailureRecords::State;
using namespace RecordsTest;

namespace {

qint64 countOf(const State& state, const QString& feature) {
    qint64 total = 0;
    for (const Entry& entry : state.pending)
        if (entry.feature == feature)
            total += entry.count;
    return total;
}

// One child process; its output lines are read as they come.
class Child {
public:
    Child(const QStringList& arguments,
          const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
        process_.setProcessEnvironment(environment);
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.start(QStringLiteral(RECORDS_STORE_CHILD), arguments);
    }

    bool started() { return process_.waitForStarted(30000); }
    void kill() { process_.kill(); } // SIGKILL
    bool finish(int timeoutMs = 60000) { return process_.waitForFinished(timeoutMs); }
    bool endedNormally() const {
        return process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
    }
    QString errors() { return QString::fromUtf8(process_.readAllStandardError()); }

    // Waits until the child printed at least one line (or ended).
    bool waitForFirstLine(int timeoutMs = 30000) {
        QElapsedTimer elapsed;
        elapsed.start();
        while (!process_.canReadLine() && process_.state() != QProcess::NotRunning &&
               elapsed.elapsed() < timeoutMs)
            process_.waitForReadyRead(50);
        return process_.canReadLine();
    }

    QStringList lines() {
        output_ += process_.readAllStandardOutput();
        return QString::fromUtf8(output_).split(u'\n', Qt::SkipEmptyParts);
    }

    // The last "saved N" (or "done N"): what the store file holds of this process's work at least.
    int lastSaved() {
        int saved = 0;
        for (const QString& line : lines()) {
            const QStringList words = line.split(u' ');
            if (words.size() == 2 &&
                (words[0] == QLatin1String("saved") || words[0] == QLatin1String("done")))
                saved = words[1].toInt();
        }
        return saved;
    }

private:
    QProcess process_;
    QByteArray output_;
};

using RecordsProcessesTest = UploadFixture;

TEST_F(RecordsProcessesTest, TwoProcessesRecordingIntoOneStoreLoseNothing) {
    constexpr int total = 600;
    for (int run = 0; run < 8; ++run) {
        SCOPED_TRACE(run);
        const QString store = dir_.filePath(QStringLiteral("together%1/DovarureVuz/records.json").arg(run));
        Child a({QStringLiteral("record"), store, QStringLiteral("alpha"), QString::number(total),
                 QString::number(3 + run)});
        Child b({QStringLiteral("record"), store, QStringLiteral("beta"), QString::number(total),
                 QString::number(5 + run)});
        ASSERT_TRUE(a.finish() && b.finish());
        ASSERT_TRUE(a.endedNormally()) << a.errors().toStdString();
        ASSERT_TRUE(b.endedNormally()) << b.errors().toStdString();

        const auto stored = State::decode(readFile(store));
        ASSERT_TRUE(stored);
        EXPECT_EQ(countOf(*stored, QStringLiteral("alpha")), total);
        EXPECT_EQ(countOf(*stored, QStringLiteral("beta")), total);
        EXPECT_EQ(countOf(*stored, QStringLiteral("shared")), 2 * total) << "one entry, merged";
        EXPECT_EQ(stored->pending.size(), 3);
    }
}

TEST_F(RecordsProcessesTest, ProcessesKilledAtRandomMomentsNeverCostASavedOccurrence) {
    // Each trial: two processes record into a fresh store; one (sometimes both) is killed with
    // SIGKILL at a random moment of its burst. Afterwards the file decodes, holds every occurrence
    // whose save had completed, and never more than was recorded.
    constexpr int trials = 60;
    constexpr int total = 300;
    QRandomGenerator random(20261210);
    int killedMidway = 0;
    for (int trial = 0; trial < trials; ++trial) {
        SCOPED_TRACE(trial);
        const QString store = dir_.filePath(QStringLiteral("killed%1/DovarureVuz/records.json").arg(trial));
        Child victim({QStringLiteral("record"), store, QStringLiteral("victim"), QString::number(total),
                      QString::number(1 + random.bounded(8))});
        Child survivor({QStringLiteral("record"), store, QStringLiteral("survivor"), QString::number(total),
                        QString::number(1 + random.bounded(8))});
        const bool killBoth = trial % 5 == 4;
        ASSERT_TRUE(victim.started() && survivor.started());
        // Half the trials kill at any moment from the start, half once the burst is under way.
        if (trial % 2 == 1)
            victim.waitForFirstLine();
        std::this_thread::sleep_for(std::chrono::microseconds(random.bounded(40000)));
        victim.kill();
        if (killBoth) {
            std::this_thread::sleep_for(std::chrono::microseconds(random.bounded(20000)));
            survivor.kill();
        }
        ASSERT_TRUE(victim.finish() && survivor.finish());
        if (!killBoth) {
            ASSERT_TRUE(survivor.endedNormally()) << survivor.errors().toStdString();
        }
        const int victimSaved = victim.lastSaved();
        const int survivorSaved = survivor.lastSaved();
        if (victimSaved > 0 && victimSaved < total)
            ++killedMidway;

        const QByteArray bytes = readFile(store);
        const auto stored = State::decode(bytes);
        if (bytes.isEmpty()) {
            // Nothing was ever saved: both were killed before their first save.
            EXPECT_EQ(victimSaved + survivorSaved, 0);
            continue;
        }
        ASSERT_TRUE(stored) << "the store always decodes: " << bytes.left(200).toStdString();
        const qint64 victimCount = countOf(*stored, QStringLiteral("victim"));
        const qint64 survivorCount = countOf(*stored, QStringLiteral("survivor"));
        EXPECT_GE(victimCount, victimSaved);
        EXPECT_LE(victimCount, total);
        if (killBoth) {
            EXPECT_GE(survivorCount, survivorSaved);
            EXPECT_LE(survivorCount, total);
        } else {
            EXPECT_EQ(survivorCount, total) << "the survivor's work is all there";
        }
        // The shared failure is one entry holding both processes' occurrences.
        EXPECT_GE(countOf(*stored, QStringLiteral("shared")), victimSaved + survivorSaved);
        EXPECT_LE(countOf(*stored, QStringLiteral("shared")), victimCount + survivorCount);
        // No half-written temporary file is left as the store.
        EXPECT_TRUE(QFileInfo(store).isFile());
    }
    std::printf("%d trials, %d kills in the middle of a burst\n", trials, killedMidway);
    // The kills did land in the middle of bursts, not only before or after them.
    EXPECT_GE(killedMidway, trials / 4);
}

TEST_F(RecordsProcessesTest, TwoUploadingProcessesSettleEachBatchOnceWithinTheDailyLimit) {
    // Every batch is answered 200 after a while, so the two processes' uploads overlap.
    service_->setReply(QStringLiteral("POST"), struggle, ScriptedReply::delayed(40ms, 200, "{}"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MORVIK_ACCOUNT_URL"), service_->baseUrl().toString());
    environment.insert(QStringLiteral("MORVIK_FEEDBACK_URL"), service_->baseUrl().toString());
    const QString store = dir_.filePath(QStringLiteral("uploads/DovarureVuz/records.json"));
    constexpr int rounds = 30;
    Child a({QStringLiteral("upload"), store, QStringLiteral("alpha"), QString::number(rounds)}, environment);
    Child b({QStringLiteral("upload"), store, QStringLiteral("beta"), QString::number(rounds)}, environment);
    ASSERT_TRUE(a.finish() && b.finish());
    ASSERT_TRUE(a.endedNormally()) << a.errors().toStdString();
    ASSERT_TRUE(b.endedNormally()) << b.errors().toStdString();
    const int accepted = static_cast<int>(a.lines().count(QStringLiteral("accepted")) +
                                          b.lines().count(QStringLiteral("accepted")));

    // "kept": the trigger found the other process uploading, or the day full.
    const int notSent =
        static_cast<int>(a.lines().count(QStringLiteral("kept")) + b.lines().count(QStringLiteral("kept")));
    std::printf("two uploading processes: %d batches settled, %d uploads sent nothing\n", accepted, notSent);

    // Every batch that left was answered 200, so each settled: at most 12 on the day, each with its
    // own identifier.
    EXPECT_EQ(accepted, batches().size());
    EXPECT_LE(accepted, FailureRecords::maxUploadsPerDay);

    // A third process of the application (this one) uploads what is left until the day is full; the
    // next upload that day sends nothing.
    FailureRecords::setStoreURL(store);
    FailureRecords::resetForTests();
    const auto noon = at("2024-05-01T12:00:00Z");
    // However many batches the two managed, a fresh occurrence before each upload keeps something to
    // send until the day is full.
    const auto recordThird = [] {
        FailureRecords::record(QStringLiteral("action_failed"), QStringLiteral("gamma"), std::nullopt, 1,
                               QStringLiteral("E1"));
    };
    while (batches().size() < FailureRecords::maxUploadsPerDay) {
        recordThird();
        ASSERT_TRUE(upload(noon));
    }
    recordThird();
    EXPECT_FALSE(upload(noon));
    const QList<QJsonObject> sent = batches();
    EXPECT_EQ(sent.size(), FailureRecords::maxUploadsPerDay);
    QSet<QString> identifiers;
    for (const QJsonObject& batch : sent)
        identifiers.insert(batch.value(QStringLiteral("upload_id")).toString());
    EXPECT_EQ(identifiers.size(), sent.size()) << "no batch identifier was sent twice";

    const auto stored = State::decode(readFile(store));
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->sentDay, QStringLiteral("2024-05-01"));
    EXPECT_EQ(stored->sentToday, FailureRecords::maxUploadsPerDay);
    EXPECT_EQ(stored->uploadID, std::nullopt) << "no identifier is left behind";

    // Every occurrence arrived exactly once: in one settled batch, or still pending.
    for (const QString& feature :
         {QStringLiteral("alpha"), QStringLiteral("beta"), QStringLiteral("shared")}) {
        SCOPED_TRACE(feature.toStdString());
        qint64 delivered = 0;
        for (const QJsonObject& batch : sent)
            for (const QJsonValue event : batch.value(QStringLiteral("events")).toArray())
                if (event.toObject().value(QStringLiteral("feature")).toString() == feature)
                    delivered += event.toObject().value(QStringLiteral("count")).toInteger();
        const qint64 expected = feature == QLatin1String("shared") ? 2 * rounds : rounds;
        EXPECT_EQ(delivered + countOf(*stored, feature), expected);
    }
}

} // namespace

#include "FeedbackSubmission.h"
#include "ServiceFixture.h"
#include "TestImages.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using Feedback::SendOutcome;

// A stored report of the given application, as the outbox holds it.
QByteArray report(const QString& id, const QString& appKey = QStringLiteral("notes-app")) {
    return QStringLiteral(R"({"app_key":"%1","client_report_id":"%2","message":"m"})")
        .arg(appKey, id)
        .toUtf8();
}

class FlushOutboxTest : public ServiceFixture {
protected:
    QString stored(const QString& name, const QByteArray& body, qint64 ageSeconds = 60) {
        QDir().mkpath(outboxDirectory());
        const QString path = QDir(outboxDirectory()).filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(body);
        file.flush(); // a later flush would make the file new again
        EXPECT_TRUE(file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-ageSeconds),
                                     QFileDevice::FileModificationTime));
        return path;
    }
    QString inOutbox(const QString& name) const { return QDir(outboxDirectory()).filePath(name); }
    QStringList postedIds() const {
        QStringList ids;
        for (const auto& request : service.requests("/report"))
            ids.append(json(request.body).value("client_report_id").toString());
        return ids;
    }
};

TEST_F(FlushOutboxTest, AcceptedReportsLeaveAndFailuresStayForTheNextFlush) {
    stored(QStringLiteral("A.json"), report("A"));
    stored(QStringLiteral("B.json"), report("B"));
    stored(QStringLiteral("C.json"), report("C"));
    service.enqueue("POST", "/report", ScriptedReply::json(200, R"({"code":"1"})"));
    service.enqueue("POST", "/report", ScriptedReply::json(503, "busy"));
    service.enqueue("POST", "/report", ScriptedReply::json(201, R"({"code":"3"})"));
    // Stored reports go out without a token even when one is at hand.
    Feedback::setAccountToken([](auto done) { done(QStringLiteral("tok")); });

    EXPECT_EQ(await(Feedback::flushOutbox()), 2);
    EXPECT_EQ(outboxFiles(), QStringList{QStringLiteral("B.json")});
    const auto requests = service.requests("/report");
    ASSERT_EQ(requests.size(), 3);
    EXPECT_EQ(requests[0].body, report("A"));
    EXPECT_EQ(requests[1].body, report("B"));
    EXPECT_EQ(requests[2].body, report("C"));
    for (const auto& request : requests) {
        EXPECT_FALSE(request.hasHeader("Authorization"));
        EXPECT_EQ(request.header("x-fb-key"), "ingest-secret");
    }

    EXPECT_EQ(await(Feedback::flushOutbox()), 1) << "the remaining report is posted again";
    EXPECT_TRUE(outboxFiles().isEmpty());
}

TEST_F(FlushOutboxTest, RefusedReportStays) {
    stored(QStringLiteral("A.json"), report("A"));
    service.enqueue("POST", "/report", ScriptedReply::json(403, R"({"refusal":"r","message":"No"})"));
    EXPECT_EQ(await(Feedback::flushOutbox()), 0);
    EXPECT_EQ(outboxFiles(), QStringList{QStringLiteral("A.json")});
}

TEST_F(FlushOutboxTest, NotConfiguredLeavesEvenExpiredFiles) {
    const QString expired = stored(QStringLiteral("old.json"), report("old"), 8 * 86400);
    Feedback::setIngestKey(QString());
    EXPECT_EQ(await(Feedback::flushOutbox()), 0);
    EXPECT_TRUE(QFileInfo::exists(expired));
    EXPECT_TRUE(service.requests().isEmpty());
}

TEST_F(FlushOutboxTest, ExpiredReportsAreDroppedUnsentWhateverTheirApplication) {
    stored(QStringLiteral("old.json"), report("old"), 8 * 86400);
    stored(QStringLiteral("foreign-old.json"), report("foreign-old", "other-app"), 8 * 86400);
    stored(QStringLiteral("old.snapshot"), "picture", 8 * 86400);
    stored(QStringLiteral("new.json"), report("new"));
    EXPECT_EQ(await(Feedback::flushOutbox()), 1);
    EXPECT_EQ(postedIds(), QStringList{"new"});
    EXPECT_TRUE(outboxFiles().isEmpty()) << outboxFiles().join(' ').toStdString();
}

// Whatever lies in the outbox folder, a flush neither hangs, nor reads through a link, nor posts what
// is no report of this application; it removes what can never be one and goes on with the rest.
struct HostileEntry {
    const char* name;
    std::function<void(const QString& path, const QString& scratch)> make;
    bool remains;
};

class HostileEntryTest : public FlushOutboxTest, public ::testing::WithParamInterface<HostileEntry> {};

TEST_P(HostileEntryTest, IsNeverPostedAndTheRestGoOut) {
    stored(QStringLiteral("B.json"), report("B"));
    const QString path = inOutbox(QStringLiteral("A.json"));
    const QString scratch = tempPath(QStringLiteral("private"));
    GetParam().make(path, scratch);

    EXPECT_EQ(await(Feedback::flushOutbox()), 1);
    EXPECT_EQ(postedIds(), QStringList{"B"});
    struct stat info {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &info) == 0, GetParam().remains);
    if (QFileInfo::exists(scratch)) {
        EXPECT_EQ(QFile(scratch).size(), report("secret").size()) << "a link's target is left alone";
    }
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Outbox, HostileEntryTest,
    ::testing::Values(
        HostileEntry{"Fifo",
                     [](const QString& path, const QString&) {
                         ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
                     },
                     false},
        HostileEntry{"LinkToPrivateFile",
                     [](const QString& path, const QString& scratch) {
                         writeFile(scratch, report("secret"));
                         ASSERT_TRUE(QFile::link(scratch, path));
                     },
                     false},
        HostileEntry{"LinkToZeroDevice",
                     [](const QString& path, const QString&) { ASSERT_TRUE(QFile::link("/dev/zero", path)); },
                     false},
        HostileEntry{
            "LinkToNothing",
            [](const QString& path, const QString& scratch) { ASSERT_TRUE(QFile::link(scratch, path)); },
            false},
        HostileEntry{"Directory",
                     [](const QString& path, const QString&) { ASSERT_TRUE(QDir().mkdir(path)); }, true},
        HostileEntry{"ForeignApplication",
                     [](const QString& path, const QString&) { writeFile(path, report("F", "other-app")); },
                     true},
        HostileEntry{"Empty", [](const QString& path, const QString&) { writeFile(path, ""); }, false},
        HostileEntry{"Huge",
                     [](const QString& path, const QString&) {
                         writeFile(path, report("huge"));
                         ASSERT_TRUE(QFile::resize(path, qint64(1) << 30)); // sparse: no gigabyte written
                     },
                     false},
        HostileEntry{"JsonList", [](const QString& path, const QString&) { writeFile(path, "[1,2,3]"); },
                     false},
        HostileEntry{"EmptyObject", [](const QString& path, const QString&) { writeFile(path, "{}"); },
                     false},
        HostileEntry{
            "NoIdentifier",
            [](const QString& path, const QString&) { writeFile(path, R"({"app_key":"notes-app"})"); },
            false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FlushOutboxTest, EmptyOrMissingOutboxSendsNothing) {
    EXPECT_EQ(await(Feedback::flushOutbox()), 0);
    EXPECT_TRUE(service.requests().isEmpty());
}

TEST_F(FlushOutboxTest, ReportFromAFailedSendIsDeliveredByTheFlushUnchanged) {
    service.enqueue("POST", "/report", ScriptedReply::cut(2, 200, R"({"code":"lost"})"));
    EXPECT_EQ(await(Feedback::sendOutcome(FeedbackIntent::bug, QStringLiteral("Once"))),
              SendOutcome::failed());
    std::optional<int> flushed;
    QEventLoop loop;
    Feedback::flushOutbox([&](int accepted) {
        flushed = accepted;
        loop.quit();
    });
    loop.exec();
    EXPECT_EQ(flushed, 1);
    const auto requests = service.requests("/report");
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[1].body, requests[0].body) << "same bytes, same client_report_id";
    EXPECT_TRUE(outboxFiles().isEmpty());
}

TEST_F(FlushOutboxTest, OverlappingFlushesPostEachReportOnce) {
    for (const char* id : {"A", "B", "C"}) {
        stored(QStringLiteral("%1.json").arg(id), report(id));
        service.enqueue("POST", "/report",
                        ScriptedReply::delayed(std::chrono::milliseconds(150), 200, R"({"code":"ok"})"));
    }
    std::optional<int> first, second;
    QEventLoop loop;
    auto quitWhenBoth = [&] {
        if (first && second)
            loop.quit();
    };
    Feedback::flushOutbox([&](int sent) {
        first = sent;
        quitWhenBoth();
    });
    Feedback::flushOutbox([&](int sent) {
        second = sent;
        quitWhenBoth();
    });
    loop.exec();
    EXPECT_EQ(*first + *second, 3);
    EXPECT_EQ(postedIds(), (QStringList{"A", "B", "C"}));
    EXPECT_TRUE(outboxFiles().isEmpty());
}

TEST_F(FlushOutboxTest, ReportHeldBySendIsLeftToIt) {
    const std::optional<OutboxEntry> held = FeedbackOutbox::create(report("held"));
    ASSERT_TRUE(held);
    stored(QStringLiteral("free.json"), report("free"));
    EXPECT_EQ(await(Feedback::flushOutbox()), 1);
    EXPECT_EQ(postedIds(), QStringList{"free"});
    EXPECT_TRUE(QFileInfo::exists(held->path()));
}

TEST_F(FlushOutboxTest, WaitingSnapshotIsUploadedBeforeItsReport) {
    const QString id = QStringLiteral("S");
    stored(QStringLiteral("S.json"), report(id));
    stored(QStringLiteral("S.snapshot"),
           TestImages::jpeg(TestImages::halves(160, 100, Qt::red, Qt::blue), 90));
    // The first flush meets a service that cannot take pictures yet: the report waits with it.
    service.enqueue("POST", "/screenshot", ScriptedReply::json(503, "{}"));
    service.enqueue("POST", "/screenshot", ScriptedReply::json(503, "{}"));
    EXPECT_EQ(await(Feedback::flushOutbox()), 0);
    EXPECT_TRUE(service.requests("/report").isEmpty());
    EXPECT_EQ(outboxFiles(), (QStringList{"S.json", "S.snapshot"}));

    EXPECT_EQ(await(Feedback::flushOutbox()), 1);
    ASSERT_EQ(service.requests("/screenshot").size(), 3);
    const auto reports = service.requests("/report");
    ASSERT_EQ(reports.size(), 1);
    const QJsonObject posted = json(reports[0].body);
    EXPECT_TRUE(
        posted["screenshot_url"].toString().startsWith(service.baseUrl().toString() + "/screenshot/"));
    EXPECT_EQ(posted["client_report_id"].toString(), id);
    EXPECT_TRUE(outboxFiles().isEmpty());
}

TEST_F(FlushOutboxTest, SnapshotTheServiceRejectsLetsTheWordsGo) {
    stored(QStringLiteral("S.json"), report("S"));
    stored(QStringLiteral("S.snapshot"),
           TestImages::jpeg(TestImages::halves(160, 100, Qt::red, Qt::blue), 90));
    service.enqueue("POST", "/screenshot", ScriptedReply::json(400, "{}"));
    EXPECT_EQ(await(Feedback::flushOutbox()), 1);
    const QJsonObject posted = json(service.requests("/report").value(0).body);
    EXPECT_EQ(posted["screenshot_url"].toString(), QString());
    EXPECT_EQ(posted["bundle"].toObject()["screenshot_upload"], QJsonValue("failed: HTTP 400"));
    EXPECT_TRUE(outboxFiles().isEmpty());
}

} // namespace

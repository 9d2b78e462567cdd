#include "ServiceFixture.h"

#include <QFile>

namespace {

using Feedback::SendOutcome;

class SendOutcomeTest : public ServiceFixture {
protected:
    void SetUp() override {
        ServiceFixture::SetUp();
        Feedback::setSubmissionRecorder([this](const QDateTime& when) { submissions.append(when); });
    }

    QByteArray storedReport() const {
        const QStringList files = outboxFiles();
        if (files.size() != 1)
            return {};
        QFile file(QDir(outboxDirectory()).filePath(files.first()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QList<QDateTime> submissions;
};

TEST_F(SendOutcomeTest, NotConfiguredDoesNothingAtAll) {
    for (const auto& [app, ingest] : {std::pair{"", "ingest"}, std::pair{"app", ""}}) {
        Feedback::setAppKey(QString::fromLatin1(app));
        Feedback::setIngestKey(QString::fromLatin1(ingest));
        int tokenAsked = 0;
        Feedback::setAccountToken([&](Feedback::Completion<std::optional<QString>> done) {
            ++tokenAsked;
            done(QStringLiteral("t"));
        });
        EXPECT_EQ(await(Feedback::sendOutcome(FeedbackIntent::idea, QStringLiteral("hi"))),
                  SendOutcome::failed());
        EXPECT_EQ(tokenAsked, 0);
    }
    EXPECT_FALSE(QFileInfo::exists(outboxDirectory()));
    EXPECT_TRUE(service.requests().isEmpty());
    EXPECT_TRUE(submissions.isEmpty());
}

TEST_F(SendOutcomeTest, AcceptedReportLeavesTheOutboxAndIsRecorded) {
    service.enqueue("POST", "/report", ScriptedReply::json(201, R"({"code":"FB-201"})"));
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    const SendOutcome outcome = await(Feedback::sendOutcome(FeedbackIntent::praise, QStringLiteral("Lovely"),
                                                            QStringLiteral("ada@example.org")));
    EXPECT_EQ(outcome, SendOutcome::sent(QStringLiteral("FB-201")));
    EXPECT_TRUE(outboxFiles().isEmpty());
    ASSERT_EQ(submissions.size(), 1);
    EXPECT_GE(submissions[0], before);

    const auto requests = service.requests("/report");
    ASSERT_EQ(requests.size(), 1);
    const QJsonObject report = json(requests[0].body);
    EXPECT_EQ(report["intent"], QJsonValue("praise"));
    EXPECT_EQ(report["message"], QJsonValue("Lovely"));
    EXPECT_EQ(report["contact"], QJsonValue("ada@example.org"));
    EXPECT_FALSE(requests[0].body.contains('\n')) << "compact JSON";
}

TEST_F(SendOutcomeTest, UnacceptedReportStaysInTheOutboxByteForByte) {
    struct Case {
        int status;
        QByteArray body;
        SendOutcome expected;
    };
    const Case cases[] = {{200, R"({"code":7})", SendOutcome::failed()},
                          {403, R"({"refusal":"r","message":"Not here"})", SendOutcome::refused("Not here")},
                          {500, "oops", SendOutcome::failed()}};
    for (const Case& c : cases) {
        service.clearRequests();
        for (const QString& file : outboxFiles())
            QFile::remove(QDir(outboxDirectory()).filePath(file));
        service.enqueue("POST", "/report", ScriptedReply::json(c.status, c.body));
        EXPECT_EQ(await(Feedback::sendOutcome(FeedbackIntent::bug, QStringLiteral("Broken"))), c.expected);
        const auto requests = service.requests("/report");
        ASSERT_EQ(requests.size(), 1);
        EXPECT_EQ(storedReport(), requests[0].body) << "status " << c.status;
    }
    EXPECT_TRUE(submissions.isEmpty());
}

TEST_F(SendOutcomeTest, AccountTokenIsSentTrimmedAndOnlyWhenPresent) {
    struct Case {
        const char* name;
        std::optional<Feedback::AccountToken> hook;
        QByteArray expected; // empty: no header
    };
    const Case cases[] = {
        {"no hook", std::nullopt, {}},
        {"blank token", Feedback::AccountToken([](auto done) { done(QStringLiteral("  \n ")); }), {}},
        {"no answer", Feedback::AccountToken([](auto done) { done(std::nullopt); }), {}},
        {"padded token", Feedback::AccountToken([](auto done) { done(QStringLiteral(" abc.def \n")); }),
         "Bearer abc.def"},
    };
    for (const Case& c : cases) {
        service.clearRequests();
        Feedback::setAccountToken(c.hook.value_or(Feedback::AccountToken()));
        await(Feedback::sendOutcome(FeedbackIntent::idea, QStringLiteral("hi")));
        const auto requests = service.requests("/report");
        ASSERT_EQ(requests.size(), 1) << c.name;
        EXPECT_EQ(requests[0].header("Authorization"), c.expected) << c.name;
        EXPECT_EQ(requests[0].hasHeader("Authorization"), !c.expected.isEmpty()) << c.name;
    }
}

TEST_F(SendOutcomeTest, PlainHttpToAnotherMachineFailsWithoutTrafficAndKeepsTheReport) {
    QUrl address = service.baseUrl();
    address.setHost(QStringLiteral("0.0.0.0"));
    Feedback::setFeedbackServiceURL(address);
    EXPECT_EQ(await(Feedback::sendOutcome(FeedbackIntent::bug, QStringLiteral("Secret words"))),
              SendOutcome::failed());
    EXPECT_TRUE(service.requests().isEmpty());
    EXPECT_TRUE(json(storedReport())["message"] == QJsonValue("Secret words"));
}

TEST_F(SendOutcomeTest, ReportIsPostedEvenWhenTheOutboxCannotBeWritten) {
    QFile blocker(tempPath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    FeedbackOutbox::setDirectory(tempPath(QStringLiteral("blocker/FeedbackOutbox")));
    EXPECT_TRUE(await(Feedback::sendOutcome(FeedbackIntent::idea, QStringLiteral("hi"))).isSent());
    EXPECT_EQ(service.requests("/report").size(), 1);
}

TEST_F(SendOutcomeTest, SendGivesTheCodeOnlyForAcceptedReports) {
    service.enqueue("POST", "/report", ScriptedReply::json(200, R"({"code":"C-1"})"));
    EXPECT_EQ(await(Feedback::send(FeedbackIntent::idea, QStringLiteral("a"))),
              std::optional<QString>("C-1"));
    service.enqueue("POST", "/report", ScriptedReply::json(403, R"({"refusal":"r","message":"No"})"));
    EXPECT_EQ(await(Feedback::send(FeedbackIntent::idea, QStringLiteral("b"))), std::nullopt);

    std::optional<std::optional<QString>> plain;
    QEventLoop loop;
    service.enqueue("POST", "/report", ScriptedReply::json(200, R"({"code":"C-2"})"));
    Feedback::send(FeedbackIntent::bug, QStringLiteral("c"), QString(), QString(), std::nullopt,
                   [&](std::optional<QString> code) {
                       plain = code;
                       loop.quit();
                   });
    loop.exec();
    EXPECT_EQ(plain, std::optional<std::optional<QString>>(QStringLiteral("C-2")));
}

TEST_F(SendOutcomeTest, PostReturnsTheCode) {
    service.enqueue("POST", "/report", ScriptedReply::json(200, R"({"code":"P-1"})"));
    EXPECT_EQ(await(Feedback::post("{}", std::nullopt)), std::optional<QString>("P-1"));
    service.enqueue("POST", "/report", ScriptedReply::json(500, R"({"code":"P-2"})"));
    EXPECT_EQ(await(Feedback::post("{}", std::nullopt)), std::nullopt);
}

} // namespace

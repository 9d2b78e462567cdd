#include "ServiceFixture.h"

#include <QEventLoop>
#include <QThread>

namespace {

using Feedback::SendOutcome;

const QString longReply = QString(320, u'é');
// "e" with a combining acute accent: two UTF-16 units, one user-perceived character.
const QString combining = QString(320, u'x').replace(u'x', QStringLiteral("e\u0301"));
// A flag: two code points (four UTF-16 units), one user-perceived character.
const QString flags = QStringLiteral("\U0001F1E9\U0001F1EA").repeated(301);

struct StatusCase {
    const char* name;
    int status;
    QByteArray body;
    SendOutcome expected;
};

class PostOutcomeTableTest : public ServiceFixture, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(PostOutcomeTableTest, AnswerIsClassified) {
    const StatusCase& c = GetParam();
    service.enqueue("POST", "/report", ScriptedReply::json(c.status, c.body));
    const SendOutcome outcome = await(Feedback::postOutcome(R"({"message":"hi"})", std::nullopt));
    EXPECT_EQ(outcome, c.expected);
    EXPECT_EQ(service.requests("/report").size(), 1);
}

QByteArray refusal(const QString& message, const QString& error = {}) {
    QJsonObject object{{"refusal", "spam"}};
    if (!message.isNull())
        object["message"] = message;
    if (!error.isNull())
        object["error"] = error;
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

INSTANTIATE_TEST_SUITE_P(
    Report, PostOutcomeTableTest,
    ::testing::Values(
        StatusCase{"Ok", 200, R"({"code":"FB-1234"})", SendOutcome::sent("FB-1234")},
        StatusCase{"Created", 201, R"({"code":"FB-77","extra":1})", SendOutcome::sent("FB-77")},
        StatusCase{"CodeKeptAsSent", 299, R"({"code":"  spaced  "})", SendOutcome::sent("  spaced  ")},
        StatusCase{"EmptyCode", 200, R"({"code":""})", SendOutcome::sent("")},
        StatusCase{"NumericCode", 200, R"({"code":1234})", SendOutcome::failed()},
        StatusCase{"NoCode", 200, R"({"id":"x"})", SendOutcome::failed()},
        StatusCase{"NotJson", 200, "FB-1234", SendOutcome::failed()},
        StatusCase{"ArrayBody", 200, R"(["FB-1"])", SendOutcome::failed()},
        StatusCase{"EmptyBody", 204, "", SendOutcome::failed()},
        StatusCase{"Redirect", 304, R"({"code":"FB-1"})", SendOutcome::failed()},
        StatusCase{"BadRequest", 400, R"({"code":"FB-1"})", SendOutcome::failed()},
        StatusCase{"Unauthorized", 401, R"({"code":"FB-1","refusal":"x","message":"m"})",
                   SendOutcome::failed()},
        StatusCase{"ServerError", 500, R"({"code":"FB-1"})", SendOutcome::failed()},
        StatusCase{"RefusedWithMessage", 403, refusal(QStringLiteral("  Please write in English.\n ")),
                   SendOutcome::refused(QStringLiteral("Please write in English."))},
        StatusCase{"RefusedWithError", 403,
                   refusal(QStringLiteral("   "), QStringLiteral("\tToo many reports \n")),
                   SendOutcome::refused(QStringLiteral("Too many reports"))},
        StatusCase{"RefusedMessageNotText", 403, R"({"refusal":"r","message":5,"error":"Slow down"})",
                   SendOutcome::refused(QStringLiteral("Slow down"))},
        StatusCase{"RefusedWithoutTexts", 403, refusal(QString(), QString()), SendOutcome::failed()},
        StatusCase{"RefusedBlankTexts", 403, refusal(QStringLiteral(" "), QStringLiteral("\n")),
                   SendOutcome::failed()},
        StatusCase{"EmptyRefusal", 403, R"({"refusal":"","message":"No"})", SendOutcome::failed()},
        StatusCase{"RefusalNotText", 403, R"({"refusal":true,"message":"No"})", SendOutcome::failed()},
        StatusCase{"ForbiddenNotJson", 403, "No", SendOutcome::failed()},
        StatusCase{"LongReplyCut", 403, refusal(longReply), SendOutcome::refused(longReply.left(300))},
        StatusCase{"CombiningMarksKeptWhole", 403, refusal(combining),
                   SendOutcome::refused(combining.left(600))},
        StatusCase{"FlagsKeptWhole", 403, refusal(flags), SendOutcome::refused(flags.left(1200))}),
    [](const auto& info) { return std::string(info.param.name); });

class PostOutcomeTest : public ServiceFixture {};

TEST_F(PostOutcomeTest, RequestCarriesKeyTypeTokenAndBodyUnchanged) {
    const QByteArray body = R"({"message":"Grüße","n":1})";
    EXPECT_TRUE(await(Feedback::postOutcome(body, QStringLiteral("tok-1"))).isSent());
    const auto requests = service.requests("/report");
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].body, body);
    EXPECT_EQ(requests[0].header("Content-Type"), "application/json");
    EXPECT_EQ(requests[0].header("x-fb-key"), "ingest-secret");
    EXPECT_EQ(requests[0].header("Authorization"), "Bearer tok-1");
}

TEST_F(PostOutcomeTest, NoAuthorizationWithoutAToken) {
    await(Feedback::postOutcome("{}", std::nullopt));
    await(Feedback::postOutcome("{}", QString()));
    const auto requests = service.requests("/report");
    ASSERT_EQ(requests.size(), 2);
    EXPECT_FALSE(requests[0].hasHeader("Authorization"));
    EXPECT_FALSE(requests[1].hasHeader("Authorization"));
}

TEST_F(PostOutcomeTest, BrokenAnswerFails) {
    service.enqueue("POST", "/report", ScriptedReply::cut(3, 200, R"({"code":"FB-1"})"));
    EXPECT_EQ(await(Feedback::postOutcome("{}", std::nullopt)), SendOutcome::failed());
}

TEST_F(PostOutcomeTest, SilentServiceTimesOut) {
    DeliveryTimings::setReportTimeout(std::chrono::milliseconds(300));
    service.enqueue("POST", "/report",
                    ScriptedReply::delayed(std::chrono::seconds(3), 200, R"({"code":"late"})"));
    service.enqueue("POST", "/report",
                    ScriptedReply::delayed(std::chrono::seconds(3), 200, R"({"code":"late"})"));
    EXPECT_EQ(await(Feedback::postOutcome("{}", std::nullopt)), SendOutcome::failed());
}

TEST_F(PostOutcomeTest, KeyNeverGoesToAPlainHttpAddressOfAnotherMachine) {
    // 0.0.0.0 reaches this machine when connected to, but is not a loopback address: the check must
    // refuse it before any traffic, and the stand-in proves that nothing arrived.
    QUrl address = service.baseUrl();
    address.setHost(QStringLiteral("0.0.0.0"));
    Feedback::setFeedbackServiceURL(address);
    EXPECT_EQ(await(Feedback::postOutcome("{}", QStringLiteral("tok"))), SendOutcome::failed());
    EXPECT_TRUE(service.requests().isEmpty());
}

ScriptedReply redirectTo(const QUrl& target) {
    ScriptedReply reply = ScriptedReply::json(307, {});
    reply.headers.append({"Location", target.toEncoded()});
    return reply;
}

TEST_F(PostOutcomeTest, SameOriginRedirectIsFollowedAndTheReportCountsAsSentOnce) {
    for (const int status : {307, 308}) {
        SCOPED_TRACE(status);
        service.clearRequests();
        service.setRedirect(QStringLiteral("/moved"), status);
        Feedback::setFeedbackServiceURL(service.url(QStringLiteral("/moved")));
        const SendOutcome outcome =
            await(Feedback::sendOutcome(FeedbackIntent::idea, QStringLiteral("Moved")));
        ASSERT_TRUE(outcome.isSent());
        EXPECT_TRUE(outboxFiles().isEmpty()) << "an accepted report leaves the outbox";
        const auto arrived = service.requests("/report");
        ASSERT_EQ(arrived.size(), 1) << "posted once";
        EXPECT_EQ(arrived[0].header("x-fb-key"), "ingest-secret");
        EXPECT_EQ(json(arrived[0].body).value("message").toString(), QStringLiteral("Moved"));
        EXPECT_EQ(await(Feedback::flushOutbox()), 0);
        EXPECT_EQ(service.requests("/report").size(), 1) << "nothing left to post again";
    }
}

TEST_F(PostOutcomeTest, KeyOrTokenWithAControlCharacterIsNeverSentAndLoggedByHeaderName) {
    QStringList lines;
    Feedback::setLogHandler([&lines](const QString& line) { lines.append(line); });
    struct Case {
        const char* name;
        QString ingestKey;
        QString token;
        const char* header;
    };
    const Case cases[] = {
        {"key with CR LF", QStringLiteral("ik-1\r\nX-Injected: yes"), QString(), "x-fb-key"},
        {"key with DEL", QStringLiteral("ik-1\x7f"), QString(), "x-fb-key"},
        {"token with LF", QStringLiteral("ik-1"), QStringLiteral("tok\nX-Injected: yes"), "Authorization"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        lines.clear();
        Feedback::setIngestKey(c.ingestKey);
        Feedback::setAccountToken([token = c.token](Feedback::Completion<std::optional<QString>> done) {
            done(token.isEmpty() ? std::nullopt : std::optional<QString>(token));
        });
        EXPECT_EQ(await(Feedback::sendOutcome(FeedbackIntent::bug, QStringLiteral("hi"))),
                  SendOutcome::failed());
        ASSERT_EQ(lines.size(), 1) << lines.join(u'|').toStdString();
        EXPECT_EQ(lines[0],
                  QStringLiteral("feedback: report not sent: the %1 header holds a control character")
                      .arg(QLatin1String(c.header)));
        EXPECT_FALSE(lines[0].contains(QStringLiteral("ik-1")) || lines[0].contains(QStringLiteral("tok")));
    }
    EXPECT_TRUE(service.requests().isEmpty()) << "no X-Injected header can reach the service";
    EXPECT_EQ(outboxFiles().size(), 3) << "the reports wait for a sound key";
    Feedback::setLogHandler({});
    Feedback::setAccountToken({});
}

TEST_F(PostOutcomeTest, RedirectToAnotherOriginIsNotFollowed) {
    ServiceStandIn elsewhere;
    ASSERT_TRUE(elsewhere.listen());
    service.enqueue("POST", "/report", redirectTo(elsewhere.url("/report")));
    EXPECT_EQ(await(Feedback::postOutcome("{}", QStringLiteral("tok"))), SendOutcome::failed());
    EXPECT_TRUE(elsewhere.requests().isEmpty()) << "neither the key nor the token may reach another origin";
}

TEST_F(PostOutcomeTest, PlainEntryReportsOnceOnTheCallingThread) {
    std::optional<SendOutcome> seen;
    int calls = 0;
    QEventLoop loop;
    Feedback::postOutcome("{}", std::nullopt, [&](SendOutcome outcome) {
        ++calls;
        seen = outcome;
        EXPECT_EQ(QThread::currentThread(), qApp->thread());
        loop.quit();
    });
    loop.exec();
    ASSERT_TRUE(seen);
    EXPECT_TRUE(seen->isSent());
    EXPECT_EQ(calls, 1);
}

TEST(SendOutcomeValueTest, AccessorsAndEquality) {
    EXPECT_EQ(SendOutcome::sent("A").code(), std::optional<QString>("A"));
    EXPECT_EQ(SendOutcome::sent("A").refusal(), std::nullopt);
    EXPECT_EQ(SendOutcome::refused("no").refusal(), std::optional<QString>("no"));
    EXPECT_EQ(SendOutcome::refused("no").code(), std::nullopt);
    EXPECT_EQ(SendOutcome::failed().code(), std::nullopt);
    EXPECT_EQ(SendOutcome::failed().refusal(), std::nullopt);
    EXPECT_EQ(SendOutcome::failed(), SendOutcome::failed());
    EXPECT_EQ(SendOutcome::sent("A"), SendOutcome::sent("A"));
    EXPECT_FALSE(SendOutcome::sent("A") == SendOutcome::sent("B"));
    EXPECT_FALSE(SendOutcome::sent("") == SendOutcome::refused(""));
    EXPECT_FALSE(SendOutcome::sent("") == SendOutcome::failed());
    EXPECT_FALSE(SendOutcome::refused("x") == SendOutcome::sent("x"));
}

} // namespace

// Scripted answers reach a Qt client exactly as scripted: status, headers, body, delay and breakage.

#include "ServiceStandIn.h"
#include "StandInClient.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class ScriptedReplyTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(standIn.listen()); }

    HttpResult post(const QString& path, std::chrono::milliseconds timeout = StandInClient::defaultTimeout) {
        return StandInClient::send("POST", standIn.url(path), R"({"client_report_id":"R-1"})",
                                   {{"Content-Type", "application/json"}}, timeout);
    }

    ServiceStandIn standIn;
};

struct ReplyCase {
    const char* name;
    ScriptedReply reply;
    std::optional<int> status; // absent: the client must see a failure, not an answer
    QByteArray body;
};

TEST_F(ScriptedReplyTest, ClientSeesTheScriptedAnswerOrABrokenOne) {
    const QByteArray refusal = R"({"refusal":"spam","message":"  Not accepted.  "})";
    const QByteArray longBody = R"({"code":"ABCDEF","padding":"0123456789012345678901234567890123456789"})";
    const ReplyCase cases[] = {
        {"server error with body", ScriptedReply::json(503, R"({"error":"down"})"), 503,
         R"({"error":"down"})"},
        {"created", ScriptedReply::json(201, R"({"code":"X1"})"), 201, R"({"code":"X1"})"},
        {"refusal", ScriptedReply::json(403, refusal), 403, refusal},
        {"empty body", ScriptedReply::json(500, {}), 500, {}},
        {"status without a reason phrase", ScriptedReply::json(299, "{}"), 299, "{}"},
        {"cut mid-body", ScriptedReply::cut(7, 200, longBody), std::nullopt, {}},
        {"cut before the body", ScriptedReply::cut(0, 200, longBody), std::nullopt, {}},
    };
    for (const ReplyCase& c : cases) {
        SCOPED_TRACE(c.name);
        standIn.clearRequests();
        standIn.enqueue("POST", "/report", c.reply);
        const HttpResult result = post("/report");
        if (c.status) {
            ASSERT_TRUE(result.ok()) << result.failureText.toStdString();
            EXPECT_EQ(*result.status, *c.status);
            EXPECT_EQ(result.body, c.body);
        } else {
            EXPECT_FALSE(result.ok()) << "complete answer with status " << result.status.value_or(0);
        }
        // Neither answer makes Qt send the request a second time.
        EXPECT_EQ(standIn.requests("/report").size(), 1);
    }
}

TEST_F(ScriptedReplyTest, ScriptedHeadersAreSentAndContentLengthIsAlwaysTheBodys) {
    ScriptedReply reply = ScriptedReply::json(200, "hello");
    reply.headers = {{"Content-Type", "text/plain"}, {"X-Trace", "abc"}, {"Content-Length", "999"}};
    standIn.enqueue("POST", "/report", reply);
    const HttpResult result = post("/report");
    ASSERT_EQ(result.status, 200);
    EXPECT_EQ(result.header("content-type"), "text/plain");
    EXPECT_EQ(result.header("X-Trace"), "abc");
    EXPECT_EQ(result.body, "hello");
}

TEST_F(ScriptedReplyTest, QueuedRepliesComeFirstInOrderThenThePersistentOneThenTheDefault) {
    standIn.setReply("GET", "/rewards", ScriptedReply::json(500, {}));
    standIn.enqueue("get", "/rewards", ScriptedReply::json(404, {}));
    standIn.enqueue("GET", "/rewards", ScriptedReply::json(429, {}));
    standIn.enqueue("POST", "/rewards", ScriptedReply::json(201, {})); // another method: never used here
    const QUrl rewards = StandInClient::at(standIn.baseUrl(), "/rewards?app=k");
    std::vector<int> statuses;
    for (int i = 0; i < 4; ++i)
        statuses.push_back(StandInClient::get(rewards).status.value_or(-1));
    EXPECT_EQ(statuses, (std::vector<int>{404, 429, 500, 500}));
    standIn.clearReplies();
    EXPECT_EQ(StandInClient::get(rewards).status, 200);
}

TEST_F(ScriptedReplyTest, DelayedReplyArrivesAfterItsDelay) {
    const auto delay = 300ms;
    standIn.enqueue("POST", "/report", ScriptedReply::delayed(delay, 200, R"({"code":"LATE"})"));
    QElapsedTimer clock;
    clock.start();
    const HttpResult result = post("/report");
    EXPECT_GE(clock.elapsed(), delay.count());
    ASSERT_EQ(result.status, 200);
    EXPECT_EQ(result.body, R"({"code":"LATE"})");
}

TEST_F(ScriptedReplyTest, ClientThatGivesUpBeforeADelayedReplyLeavesTheStandInWorking) {
    const auto delay = 600ms;
    standIn.enqueue("POST", "/report", ScriptedReply::delayed(delay, 200, R"({"code":"GONE"})"));
    const HttpResult abandoned = post("/report", 150ms);
    ASSERT_FALSE(abandoned.ok());
    EXPECT_EQ(abandoned.failure, HttpFailureKind::timedOut);

    // Queued later with the same delay, this answer is due after the abandoned one: once it arrives
    // the stand-in has dealt with the connection that went away.
    standIn.enqueue("POST", "/report", ScriptedReply::delayed(delay, 200, R"({"code":"LATE"})"));
    const HttpResult next = post("/report");
    ASSERT_EQ(next.status, 200);
    EXPECT_EQ(next.body, R"({"code":"LATE"})");
}

TEST_F(ScriptedReplyTest, RedirectAnswersUnderItsPrefixOnlyWithTheRestOfPathAndQuery) {
    // 301 on a POST is not followed by the client, so the redirect itself is what it sees.
    standIn.setRedirect(QStringLiteral("/moved"), 301);
    const HttpResult moved = StandInClient::send(
        "POST", StandInClient::at(standIn.baseUrl(), "/moved/report?from=a%26b"), R"({"x":1})");
    ASSERT_EQ(moved.status, 301);
    EXPECT_EQ(moved.header("Location"), standIn.baseUrl().toEncoded() + "/report?from=a%26b");
    EXPECT_EQ(post("/movedaway").status, 404) << "a path that merely starts like the prefix";
    EXPECT_EQ(post("/report").status, 200);

    ServiceStandIn elsewhere;
    ASSERT_TRUE(elsewhere.listen());
    standIn.setRedirect(QStringLiteral("/moved"), 307, elsewhere.baseUrl());
    const HttpResult across = post("/moved/report");
    ASSERT_EQ(across.status, 307) << "the session does not follow it to another origin";
    EXPECT_EQ(across.header("Location"), elsewhere.url("/report").toEncoded());

    standIn.setRedirect(QString(), 0);
    EXPECT_EQ(post("/moved/report").status, 404);
}

TEST_F(ScriptedReplyTest, AnswerDelayHoldsBackEveryAnswer) {
    const auto delay = 300ms;
    standIn.setAnswerDelay(delay);
    QElapsedTimer clock;
    clock.start();
    const HttpResult healthy = post("/report");
    EXPECT_GE(clock.elapsed(), delay.count());
    EXPECT_EQ(healthy.status, 200);
    standIn.enqueue("POST", "/report", ScriptedReply::json(201, R"({"code":"Q"})"));
    clock.restart();
    EXPECT_EQ(post("/report").status, 201);
    EXPECT_GE(clock.elapsed(), delay.count());
}

TEST_F(ScriptedReplyTest, ConnectionClosedWithoutAnswerMakesQtResendThePostOnce) {
    standIn.enqueue("POST", "/report", ScriptedReply::dropConnection());
    const HttpResult result = post("/report");
    // The resend takes the next reply, here the default one.
    ASSERT_EQ(result.status, 200);
    EXPECT_FALSE(QJsonDocument::fromJson(result.body).object().value("code").toString().isEmpty());
    const QList<RecordedRequest> requests = standIn.requests("/report");
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[0].body, requests[1].body);
}

TEST_F(ScriptedReplyTest, DroppedConnectionTwiceIsAFailureForTheClient) {
    standIn.setReply("POST", "/report", ScriptedReply::dropConnection());
    const HttpResult result = post("/report");
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.failure, HttpFailureKind::connection);
}

} // namespace

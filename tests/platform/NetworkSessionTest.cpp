// The project's HTTP session against the loopback stand-in: what it refuses to send, and how it follows
// redirects.

#include "NetworkSession.h"
#include "ServiceStandIn.h"

#include <QCoroTask>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class NetworkSessionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(standIn.listen()); }

    static HttpResult send(HttpRequest request) {
        NetworkSession session;
        return QCoro::waitFor(session.send(std::move(request)));
    }
    static HttpRequest post(const QUrl& url, const QByteArray& body, HttpHeaders headers = {}) {
        HttpRequest request;
        request.method = "POST";
        request.url = url;
        request.body = body;
        request.headers = std::move(headers);
        request.timeout = 10s;
        return request;
    }

    ServiceStandIn standIn;
};

TEST_F(NetworkSessionTest, HeaderWithAControlCharacterIsNeverSentAndItsValueNeverShown) {
    const QByteArray values[] = {"ik-1\r\nX-Injected: yes", "ik-1\n", "ik\r",
                                 QByteArray("ik\0x", 4),    "ik\x7f", "ik\tx"};
    for (const QByteArray& value : values) {
        SCOPED_TRACE(value.toPercentEncoding().toStdString());
        const HttpResult result = send(
            post(standIn.url("/report"), "{}", {{"Content-Type", "application/json"}, {"x-fb-key", value}}));
        EXPECT_FALSE(result.ok());
        EXPECT_EQ(result.failure, HttpFailureKind::unsafeHeader);
        EXPECT_TRUE(result.failureText.contains(QStringLiteral("x-fb-key")))
            << result.failureText.toStdString();
        EXPECT_FALSE(result.failureText.contains(QStringLiteral("ik"))) << "the value stays out of messages";
    }
    EXPECT_TRUE(standIn.requests().isEmpty()) << "not one byte reaches the service";

    // Values beyond ASCII are not control characters and go out as they are.
    const HttpResult fine = send(post(standIn.url("/report"), R"({"client_report_id":"U-1"})",
                                      {{"x-fb-key", QStringLiteral("ключ-é").toUtf8()}}));
    EXPECT_EQ(fine.status, 200);
    ASSERT_EQ(standIn.requests("/report").size(), 1);
    EXPECT_EQ(standIn.requests("/report")[0].header("x-fb-key"), QStringLiteral("ключ-é").toUtf8());
    EXPECT_FALSE(standIn.requests("/report")[0].hasHeader("X-Injected"));
}

// Qt's own redirect handling could post the original request twice and end with an error although
// the new address answered 200; under load that happened to about one exchange in ten. Several rounds
// make that visible.
TEST_F(NetworkSessionTest, SameOriginRedirectWithABodyIsFollowedOnceKeepingMethodHeadersAndBody) {
    for (const int status : {307, 308}) {
        standIn.setRedirect(QStringLiteral("/moved"), status);
        for (int round = 0; round < 8; ++round) {
            SCOPED_TRACE(testing::Message() << status << " round " << round);
            standIn.clearRequests();
            const QByteArray body =
                QByteArray(R"({"client_report_id":"R-)") + QByteArray::number(round) + "\"}";
            const HttpResult result = send(post(standIn.url("/moved/report"), body,
                                                {{"Content-Type", "application/json"}, {"x-fb-key", "ik"}}));
            ASSERT_TRUE(result.ok()) << result.failureText.toStdString();
            EXPECT_EQ(result.status, 200);
            EXPECT_TRUE(result.body.contains("\"code\""));
            ASSERT_EQ(standIn.requests("/moved/report").size(), 1);
            const QList<RecordedRequest> arrived = standIn.requests("/report");
            ASSERT_EQ(arrived.size(), 1) << "the report reaches the service exactly once";
            EXPECT_EQ(arrived[0].method, "POST");
            EXPECT_EQ(arrived[0].body, body);
            EXPECT_EQ(arrived[0].header("x-fb-key"), "ik");
        }
    }
}

TEST_F(NetworkSessionTest, RedirectThatWouldTurnAPostIntoAGetIsTheAnswerItself) {
    for (const int status : {301, 302, 303}) {
        SCOPED_TRACE(status);
        standIn.clearRequests();
        standIn.setRedirect(QStringLiteral("/moved"), status);
        const HttpResult result = send(post(standIn.url("/moved/report"), R"({"a":1})"));
        EXPECT_EQ(result.status, status);
        EXPECT_EQ(standIn.requests().size(), 1);
    }
}

TEST_F(NetworkSessionTest, GetFollowsEveryRedirectKindWithItsQuery) {
    for (const int status : {301, 302, 303, 307, 308}) {
        SCOPED_TRACE(status);
        standIn.clearRequests();
        standIn.setRedirect(QStringLiteral("/moved"), status);
        HttpRequest request;
        request.url = QUrl(standIn.url("/moved/rewards").toString() + QStringLiteral("?app=k%2B1"));
        const HttpResult result = send(request);
        EXPECT_EQ(result.status, 200);
        const QList<RecordedRequest> arrived = standIn.requests("/rewards");
        ASSERT_EQ(arrived.size(), 1);
        EXPECT_EQ(arrived[0].query.queryItemValue(QStringLiteral("app"), QUrl::FullyDecoded), "k+1");
    }
}

TEST_F(NetworkSessionTest, RedirectToAnotherOriginIsNotFollowed) {
    ServiceStandIn elsewhere;
    ASSERT_TRUE(elsewhere.listen());
    standIn.setRedirect(QStringLiteral("/moved"), 308, elsewhere.baseUrl());
    const HttpResult result =
        send(post(standIn.url("/moved/report"), "{}", {{"Authorization", "Bearer secret-token"}}));
    EXPECT_EQ(result.status, 308);
    EXPECT_TRUE(elsewhere.requests().isEmpty()) << "the token never reaches another port";
}

TEST_F(NetworkSessionTest, RedirectLoopEndsAfterFiveHopsWithTheLastRedirect) {
    standIn.setReply("POST", "/loop", ScriptedReply::redirect(307, "/loop"));
    const HttpResult result = send(post(standIn.url("/loop"), "{}"));
    EXPECT_EQ(result.status, 307);
    EXPECT_EQ(standIn.requests("/loop").size(), 1 + NetworkSession::maxRedirects);
}

} // namespace

// Every request is recorded as sent, and tests can wait for requests whichever thread serves them.

#include "NetworkSession.h"
#include "ServiceStandIn.h"
#include "StandInClient.h"

#include <QCoroTask>
#include <QThread>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

constexpr auto eventTimeout = 10s;

HttpRequest reportRequest(const ServiceStandIn& standIn) {
    HttpRequest request;
    request.method = "POST";
    request.url = standIn.url("/report");
    request.body = R"({"client_report_id":"R-1"})";
    request.headers = {{"Content-Type", "application/json"}};
    return request;
}

TEST(Recording, KeepsMethodPathQueryHeadersAndBodyOfEveryRequest) {
    ServiceStandIn standIn;
    ASSERT_TRUE(standIn.listen());
    QList<RecordedRequest> signalled;
    QObject::connect(&standIn, &ServiceStandIn::requestReceived, &standIn,
                     [&](const RecordedRequest& request) { signalled.append(request); });

    const QDateTime before = QDateTime::currentDateTimeUtc();
    StandInClient::send(
        "POST", StandInClient::at(standIn.baseUrl(), "/api/app/struggle?from=test&n=2"),
        R"({"upload_id":"U"})",
        {{"Content-Type", "application/json"}, {"Authorization", "Bearer t0k"}, {"X-Purpose", "debug"}});
    StandInClient::get(StandInClient::at(standIn.baseUrl(), "/rewards?app=a%20b"));

    const QList<RecordedRequest> all = standIn.requests();
    ASSERT_EQ(all.size(), 2);
    const RecordedRequest& post = all[0];
    EXPECT_EQ(post.method, "POST");
    EXPECT_EQ(post.path, "/api/app/struggle");
    EXPECT_EQ(post.query.queryItemValue("from"), "test");
    EXPECT_EQ(post.query.queryItemValue("n"), "2");
    EXPECT_EQ(post.body, R"({"upload_id":"U"})");
    EXPECT_EQ(post.header("authorization"), "Bearer t0k");
    EXPECT_EQ(post.header("X-PURPOSE"), "debug");
    EXPECT_TRUE(post.hasHeader("content-type"));
    EXPECT_FALSE(post.hasHeader("x-fb-key"));
    EXPECT_EQ(post.header("x-fb-key"), QByteArray());
    EXPECT_GE(post.receivedAt, before);
    EXPECT_LE(post.receivedAt, QDateTime::currentDateTimeUtc());
    EXPECT_EQ(all[1].method, "GET");
    EXPECT_EQ(all[1].query.queryItemValue("app", QUrl::FullyDecoded), "a b");

    ASSERT_EQ(signalled.size(), 2);
    EXPECT_EQ(signalled[0].path, "/api/app/struggle");
    EXPECT_EQ(standIn.requests("/rewards").size(), 1);
    EXPECT_TRUE(standIn.requests("/report").isEmpty());
    standIn.clearRequests();
    EXPECT_TRUE(standIn.requests().isEmpty());
}

TEST(Recording, WaitForRequestsOnTheServingThreadKeepsTheClientGoing) {
    ServiceStandIn standIn;
    ASSERT_TRUE(standIn.listen());
    NetworkSession session;
    QCoro::Task<HttpResult> pending = session.send(reportRequest(standIn));
    EXPECT_TRUE(standIn.waitForRequests("/report", 1, eventTimeout));
    EXPECT_EQ(QCoro::waitFor(pending).status, 200);
    EXPECT_FALSE(standIn.waitForRequests("/report", 2, 50ms));
}

class OwnThreadTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(standIn, nullptr); }
    std::unique_ptr<ServiceStandIn> standIn = ServiceStandIn::startOnThread();
};

TEST_F(OwnThreadTest, WaitForRequestsKeepsTheWaitingThreadsClientGoing) {
    NetworkSession session;
    QCoro::Task<HttpResult> pending = session.send(reportRequest(*standIn));
    EXPECT_TRUE(standIn->waitForRequests("/report", 1, eventTimeout));
    EXPECT_EQ(QCoro::waitFor(pending).status, 200);
}

TEST_F(OwnThreadTest, AnswersWhileTheTestThreadIsBlocked) {
    HttpResult result;
    std::unique_ptr<QThread> client(
        QThread::create([&] { result = StandInClient::send("POST", standIn->url("/report"), "{}"); }));
    client->start();
    // No event loop runs here until the client is done.
    ASSERT_TRUE(client->wait(QDeadlineTimer(eventTimeout)));
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(standIn->requests("/report").size(), 1);
}

TEST_F(OwnThreadTest, RequestReceivedReachesAReceiverOnItsOwnThread) {
    QObject receiver;
    QThread* seenOn = nullptr;
    QObject::connect(standIn.get(), &ServiceStandIn::requestReceived, &receiver,
                     [&](const RecordedRequest&) { seenOn = QThread::currentThread(); });
    NetworkSession session;
    QCoro::Task<HttpResult> pending = session.send(reportRequest(*standIn));
    ASSERT_TRUE(standIn->waitForRequests("/report", 1, eventTimeout));
    QCoro::waitFor(pending);
    EXPECT_EQ(seenOn, QThread::currentThread());
}

} // namespace

// What the stand-in answers when nothing is scripted: the answers the product's callers rely on.

#include "ServiceStandIn.h"
#include "StandInClient.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

QJsonObject objectOf(const QByteArray& body) {
    return QJsonDocument::fromJson(body).object();
}

QByteArray compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray report(const QString& clientReportId) {
    return compact({{"app_key", "k"},
                    {"intent", "bug"},
                    {"message", "It froze"},
                    {"contact", ""},
                    {"screenshot_url", ""},
                    {"bundle", QJsonObject{}},
                    {"client_report_id", clientReportId}});
}

QByteArray randomBytes(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(7);
    for (char& byte : bytes)
        byte = static_cast<char>(generator.bounded(256));
    return bytes;
}

const HttpHeaders json{{"Content-Type", "application/json"}};

class HealthyServiceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(standIn.listen()); }

    HttpResult send(const QByteArray& method, const QString& pathAndQuery, const QByteArray& body = {},
                    const HttpHeaders& headers = {}) {
        return StandInClient::send(method, StandInClient::at(standIn.baseUrl(), pathAndQuery), body, headers);
    }

    ServiceStandIn standIn;
};

struct StatusCase {
    const char* method;
    const char* path;
    QByteArray body;
    HttpHeaders headers;
    int status;
};

TEST_F(HealthyServiceTest, AnswersEachRequestWithTheStatusOfAHealthyService) {
    const QByteArray batch =
        compact({{"schema", "velquist.struggle.v1"}, {"upload_id", "U-1"}, {"events", QJsonArray{}}});
    const StatusCase cases[] = {
        {"POST", "/report", report("R-1"), json, 200},
        {"POST", "/report", "not json", json, 400},
        {"POST", "/report", "[1, 2]", json, 400},
        {"GET", "/report", {}, {}, 405},
        {"POST", "/screenshot", "\x89PNG....", {{"Content-Type", "image/png"}}, 200},
        {"POST", "/screenshot", "", {{"Content-Type", "image/png"}}, 400},
        {"GET", "/screenshot/0000", {}, {}, 404},
        {"GET", "/rewards?app=k", {}, {}, 200},
        {"GET", "/rewards", {}, {}, 400},
        {"GET", "/rewards?app=", {}, {}, 400},
        {"POST", "/diagnostics", compact({{"schema", "dovarurevuz.failure-bundle.v1"}}), json, 200},
        {"POST", "/diagnostics", "{", json, 400},
        {"POST",
         "/api/app/struggle",
         batch,
         {{"Content-Type", "application/json"}, {"Authorization", "Bearer t0k"}},
         200},
        {"POST", "/api/app/struggle", batch, json, 401},
        {"POST", "/api/app/struggle", batch, {{"Authorization", "Bearer   "}}, 401},
        {"POST", "/api/app/struggle", "oops", {{"Authorization", "Bearer t0k"}}, 400},
        {"GET", "/", {}, {}, 200},
        {"GET", "/nowhere", {}, {}, 404},
    };
    for (const StatusCase& c : cases) {
        SCOPED_TRACE(std::string(c.method) + " " + c.path + " " + c.body.toStdString());
        const HttpResult result = send(c.method, QString::fromLatin1(c.path), c.body, c.headers);
        ASSERT_TRUE(result.ok()) << result.failureText.toStdString();
        EXPECT_EQ(*result.status, c.status);
    }
}

TEST_F(HealthyServiceTest, ReportGetsAReferenceCodeAndAResendKeepsItsCode) {
    const HttpResult first = send("POST", "/report", report("R-1"), json);
    const HttpResult resend = send("POST", "/report", report("R-1"), json);
    const HttpResult other = send("POST", "/report", report("R-2"), json);
    const QString code = objectOf(first.body).value("code").toString();
    EXPECT_FALSE(code.isEmpty());
    EXPECT_LE(code.size(), 12);
    EXPECT_EQ(first.header("Content-Type"), "application/json");
    EXPECT_EQ(objectOf(resend.body).value("code").toString(), code);
    EXPECT_NE(objectOf(other.body).value("code").toString(), code);
    EXPECT_EQ(standIn.inbox().entries(InboxStore::Kind::report).size(), 2);
}

TEST_F(HealthyServiceTest, SnapshotIsStoredAndServedBackWithItsContentType) {
    // Larger than the snapshot budget, so a full-size upload is known to pass.
    const QByteArray image = randomBytes(2'000'000);
    const HttpResult upload = send("POST", "/screenshot", image, {{"Content-Type", "image/jpeg"}});
    ASSERT_EQ(upload.status, 200);
    const QString id = objectOf(upload.body).value("id").toString();
    ASSERT_FALSE(id.isEmpty());

    const HttpResult download = StandInClient::get(standIn.url("/screenshot/" + id));
    ASSERT_EQ(download.status, 200);
    EXPECT_EQ(download.header("Content-Type"), "image/jpeg");
    EXPECT_TRUE(download.body == image);

    const HttpResult resend = send("POST", "/screenshot", image, {{"Content-Type", "image/jpeg"}});
    EXPECT_EQ(objectOf(resend.body).value("id").toString(), id);
    EXPECT_EQ(standIn.inbox().screenshotCount(), 1);
}

TEST_F(HealthyServiceTest, RewardsCarryEveryKeyWithItsType) {
    const HttpResult result = send("GET", "/rewards?app=com.example.app");
    ASSERT_EQ(result.status, 200);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(result.body, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError);
    const QJsonObject rewards = document.object();
    for (const char* key : {"base_usd", "max_usd"}) {
        const QJsonValue value = rewards.value(key);
        EXPECT_TRUE(value.isDouble() && value.toDouble() == value.toInteger()) << key;
    }
    EXPECT_TRUE(rewards.value("source").isString());
    const QJsonObject copy = rewards.value("copy").toObject();
    for (const char* key : {"settings_line", "sheet_line", "confirm_bug", "confirm_idea"})
        EXPECT_FALSE(copy.value(key).toString().isEmpty()) << key;
    EXPECT_EQ(rewards, ServiceStandIn::defaultRewards());
    EXPECT_NE(rewards.value("source").toString(), "builtin");
}

TEST_F(HealthyServiceTest, BundleAndBatchAnswersCarryWhatTheirCallersRead) {
    const QByteArray bundle =
        compact({{"schema", "dovarurevuz.failure-bundle.v1"}, {"reason", "failure:sync"}});
    const HttpResult diagnostics = send("POST", "/diagnostics", bundle, json);
    const QJsonValue code = objectOf(diagnostics.body).value("code");
    EXPECT_TRUE(code.isString() && !code.toString().isEmpty());
    EXPECT_EQ(objectOf(send("POST", "/diagnostics", bundle, json).body).value("code"), code);

    // A retried batch keeps its upload_id and may hold more events: it replaces the first copy.
    const HttpHeaders bearer{{"Content-Type", "application/json"}, {"Authorization", "Bearer t0k"}};
    const QJsonObject event{{"feature", "sync"}, {"event", "failed"}, {"count", 1}};
    send("POST", "/api/app/struggle", compact({{"upload_id", "U-1"}, {"events", QJsonArray{event}}}), bearer);
    const HttpResult retried =
        send("POST", "/api/app/struggle",
             compact({{"upload_id", "U-1"}, {"events", QJsonArray{event, event}}}), bearer);
    EXPECT_EQ(objectOf(retried.body).value("accepted").toInt(), 2);
    const QList<InboxStore::Entry> batches = standIn.inbox().entries(InboxStore::Kind::batch);
    ASSERT_EQ(batches.size(), 1);
    EXPECT_EQ(objectOf(batches[0].body).value("events").toArray().size(), 2);
}

} // namespace

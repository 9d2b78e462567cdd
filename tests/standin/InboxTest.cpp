// The SQLite inbox keeps what the service received across restarts, and the inbox page shows it
// safely.

#include "InboxStore.h"
#include "ServiceStandIn.h"
#include "StandInClient.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString valueOf(const HttpResult& result, const char* key) {
    return QJsonDocument::fromJson(result.body).object().value(key).toString();
}

HttpResult postReport(const ServiceStandIn& standIn, const QString& id, const QString& message,
                      const QString& screenshotUrl) {
    const QByteArray body = compact({{"intent", "idea"},
                                     {"message", message},
                                     {"contact", "ana@example.org"},
                                     {"screenshot_url", screenshotUrl},
                                     {"client_report_id", id}});
    return StandInClient::send("POST", standIn.url("/report"), body, {{"Content-Type", "application/json"}});
}

TEST(Inbox, SurvivesARestartAndListsTheReportOnThePage) {
    QTemporaryDir dir;
    const QString path = dir.filePath("inbox.sqlite");
    const QByteArray image = "\xff\xd8\xff\xe0 not really a jpeg";
    QString screenshotId;
    QString screenshotUrl;
    QString code;
    {
        InboxStore store(path);
        ASSERT_TRUE(store.isOpen()) << store.errorText().toStdString();
        ServiceStandIn standIn;
        standIn.setInboxStore(&store);
        ASSERT_TRUE(standIn.listen());
        const HttpResult upload =
            StandInClient::send("POST", standIn.url("/screenshot"), image, {{"Content-Type", "image/jpeg"}});
        screenshotId = valueOf(upload, "id");
        screenshotUrl = standIn.url("/screenshot/" + screenshotId).toString();
        code = valueOf(postReport(standIn, "R-1", "Tabs <script>alert(1)</script> & more", screenshotUrl),
                       "code");
        ASSERT_FALSE(code.isEmpty());
        postReport(standIn, "R-2", "second", "javascript:alert(2)");
        StandInClient::send("POST", standIn.url("/diagnostics"), compact({{"reason", "failure:sync"}}));
        StandInClient::send("POST", standIn.url("/api/app/struggle"), compact({{"upload_id", "U-7"}}),
                            {{"Authorization", "Bearer t0k"}});
    }

    InboxStore store(path);
    ServiceStandIn standIn;
    standIn.setInboxStore(&store);
    ASSERT_TRUE(standIn.listen());
    const HttpResult page = StandInClient::get(standIn.url("/"));
    ASSERT_EQ(page.status, 200);
    EXPECT_TRUE(page.header("Content-Type").startsWith("text/html"));
    const QString html = QString::fromUtf8(page.body);
    for (const QString& expected : {code, QStringLiteral("idea"), QStringLiteral("ana@example.org"),
                                    QStringLiteral("Tabs &lt;script&gt;alert(1)&lt;/script&gt; &amp; more"),
                                    QStringLiteral("<img src=\"%1\"").arg(screenshotUrl),
                                    QStringLiteral("failure:sync"), QStringLiteral("U-7")})
        EXPECT_TRUE(html.contains(expected)) << expected.toStdString();
    EXPECT_FALSE(html.contains("<script>"));
    EXPECT_FALSE(html.contains("href=\"javascript:"));
    EXPECT_LT(html.indexOf("second"), html.indexOf("Tabs")) << "newest report first";

    const HttpResult download = StandInClient::get(standIn.url("/screenshot/" + screenshotId));
    ASSERT_EQ(download.status, 200);
    EXPECT_EQ(download.body, image);
    EXPECT_EQ(download.header("Content-Type"), "image/jpeg");

    // A resend after the restart still gets the code handed out before it.
    EXPECT_EQ(valueOf(postReport(standIn, "R-1", "again", screenshotUrl), "code"), code);
    EXPECT_EQ(store.entries(InboxStore::Kind::report).size(), 2);
}

TEST(Inbox, StoreServesEveryThreadThatUsesIt) {
    QTemporaryDir dir;
    InboxStore store(dir.filePath("inbox.sqlite"));
    auto standIn = ServiceStandIn::startOnThread(0, &store);
    ASSERT_NE(standIn, nullptr);
    const HttpResult result = postReport(*standIn, "R-9", "from another thread", {});
    ASSERT_EQ(result.status, 200);
    // Written on the serving thread, read here.
    const auto entry = store.entry(InboxStore::Kind::report, "R-9");
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->code, valueOf(result, "code"));
}

TEST(Inbox, StoreThatCannotOpenSaysSo) {
    InboxStore store("/nonexistent-directory/inbox.sqlite");
    EXPECT_FALSE(store.isOpen());
    EXPECT_FALSE(store.errorText().isEmpty());
    EXPECT_FALSE(store.put(InboxStore::Kind::report, "R-1", "{}").has_value());
}

} // namespace

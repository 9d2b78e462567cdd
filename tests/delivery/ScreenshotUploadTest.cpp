#include "ServiceFixture.h"
#include "TestImages.h"

namespace {

using Feedback::ScreenshotUploadError;
using Feedback::ScreenshotUploadResult;

class UploadFixture : public ServiceFixture {
protected:
    void SetUp() override {
        ServiceFixture::SetUp();
        DeliveryTimings::setScreenshotRetryDelay(std::chrono::milliseconds(50));
    }
    // A small JPEG that is sent as it is.
    static QByteArray smallJpeg() {
        static const QByteArray jpeg = TestImages::jpeg(TestImages::halves(120, 80, Qt::red, Qt::blue), 90);
        return jpeg;
    }
};

struct UploadCase {
    const char* name;
    std::vector<ScriptedReply> replies;
    int expectedRequests;
    std::optional<ScreenshotUploadError> expectedError; // absent: success with the id "abc"
};

class UploadTableTest : public UploadFixture, public ::testing::WithParamInterface<UploadCase> {};

TEST_P(UploadTableTest, AnswerDecidesResultAndRetry) {
    const UploadCase& c = GetParam();
    for (const ScriptedReply& reply : c.replies)
        service.enqueue("POST", "/screenshot", reply);
    const ScreenshotUploadResult result = await(Feedback::uploadScreenshotResult(smallJpeg(), "image/jpeg"));
    if (c.expectedError)
        EXPECT_EQ(result.error(), c.expectedError);
    else
        EXPECT_EQ(result.address(), service.baseUrl().toString() + QStringLiteral("/screenshot/abc"));
    EXPECT_EQ(service.requests("/screenshot").size(), c.expectedRequests);
}

ScriptedReply reply(int status, const QByteArray& body = R"({"id":"abc"})") {
    return ScriptedReply::json(status, body);
}

INSTANTIATE_TEST_SUITE_P(
    Screenshot, UploadTableTest,
    ::testing::Values(
        UploadCase{"Ok", {reply(200)}, 1, std::nullopt}, UploadCase{"Created", {reply(201)}, 1, std::nullopt},
        UploadCase{"EmptyIdThenOk", {reply(200, R"({"id":""})"), reply(200)}, 2, std::nullopt},
        UploadCase{"EmptyIdTwice",
                   {reply(200, R"({"id":""})"), reply(200, R"({"id":""})")},
                   2,
                   ScreenshotUploadError::badResponse()},
        UploadCase{"NumericIdTwice",
                   {reply(200, R"({"id":5})"), reply(200, R"({"id":5})")},
                   2,
                   ScreenshotUploadError::badResponse()},
        UploadCase{
            "NotJsonTwice", {reply(200, "abc"), reply(200, "[]")}, 2, ScreenshotUploadError::badResponse()},
        UploadCase{"NotFound", {reply(404)}, 1, ScreenshotUploadError::http(404)},
        UploadCase{"BadRequest", {reply(400)}, 1, ScreenshotUploadError::http(400)},
        UploadCase{"Unauthorized", {reply(401)}, 1, ScreenshotUploadError::http(401)},
        UploadCase{"ServiceUnavailableTwice", {reply(503), reply(502)}, 2, ScreenshotUploadError::http(502)},
        UploadCase{"ServerErrorThenOk", {reply(500), reply(201)}, 2, std::nullopt},
        UploadCase{
            "TimeoutStatusThenNotFound", {reply(408), reply(404)}, 2, ScreenshotUploadError::http(404)},
        UploadCase{"ThrottledTwice", {reply(429), reply(429)}, 2, ScreenshotUploadError::http(429)},
        UploadCase{"TooLargeThenOk", {reply(413), reply(200)}, 2, std::nullopt},
        UploadCase{"TooLargeTwice", {reply(413), reply(413)}, 2, ScreenshotUploadError::http(413)},
        UploadCase{"RedirectStatus", {reply(304)}, 1, ScreenshotUploadError::http(304)}),
    [](const auto& info) { return std::string(info.param.name); });

class UploadTest : public UploadFixture {};

TEST_F(UploadTest, RequestCarriesTheHeaders) {
    EXPECT_TRUE(await(Feedback::uploadScreenshotResult(smallJpeg(), "image/jpeg")).isSuccess());
    const auto requests = service.requests("/screenshot");
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].header("Content-Type"), "image/jpeg");
    EXPECT_EQ(requests[0].header("X-App"), "notes-app");
    EXPECT_EQ(requests[0].header("X-Purpose"), "debug");
    EXPECT_EQ(requests[0].header("X-App-Version"), "2.1 (45)");
}

TEST_F(UploadTest, SmallJpegGoesOutByteForByteWithTheCallersType) {
    const auto address = await(Feedback::uploadScreenshot(smallJpeg(), "image/x-custom"));
    ASSERT_TRUE(address);
    const auto requests = service.requests("/screenshot");
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].body, smallJpeg());
    EXPECT_EQ(requests[0].header("Content-Type"), "image/x-custom");
    // The public address serves what was uploaded.
    EXPECT_TRUE(address->startsWith(service.baseUrl().toString() + QStringLiteral("/screenshot/")));
}

TEST_F(UploadTest, PngIsSentAsJpeg) {
    QImage picture(1000, 800, QImage::Format_RGB888);
    picture.fill(QColor(30, 120, 200));
    const QByteArray png = TestImages::png(picture);
    EXPECT_TRUE(await(Feedback::uploadScreenshotResult(png)).isSuccess());
    const auto requests = service.requests("/screenshot");
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].header("Content-Type"), "image/jpeg");
    EXPECT_EQ(TestImages::decoded(requests[0].body).size(), QSize(1000, 800));
}

TEST_F(UploadTest, BytesThatAreNoImageAreSentUnchanged) {
    EXPECT_TRUE(
        await(Feedback::uploadScreenshotResult("%PDF-1.4 not a picture", "application/pdf")).isSuccess());
    const auto requests = service.requests("/screenshot");
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].body, "%PDF-1.4 not a picture");
    EXPECT_EQ(requests[0].header("Content-Type"), "application/pdf");
}

TEST_F(UploadTest, TooLargeIsRetriedAtHalfTheEdgeAndAThirdOfTheBudget) {
    Feedback::setScreenshotMaxLongEdge(1200);
    Feedback::setScreenshotMaxBytes(240000);
    const QByteArray png = TestImages::png(TestImages::noise(1500, 1000, 9));
    service.enqueue("POST", "/screenshot", reply(413));
    EXPECT_TRUE(await(Feedback::uploadScreenshotResult(png)).isSuccess());
    const auto requests = service.requests("/screenshot");
    ASSERT_EQ(requests.size(), 2);
    const QImage first = TestImages::decoded(requests[0].body);
    const QImage second = TestImages::decoded(requests[1].body);
    EXPECT_LE(std::max(first.width(), first.height()), 1200);
    EXPECT_LE(std::max(second.width(), second.height()), 600);
    EXPECT_LE(requests[1].body.size(), 80000);
    EXPECT_EQ(requests[1].header("Content-Type"), "image/jpeg");
}

TEST_F(UploadTest, NotConfiguredSendsNothing) {
    Feedback::setAppKey(QString());
    const ScreenshotUploadResult result = await(Feedback::uploadScreenshotResult(smallJpeg(), "image/jpeg"));
    EXPECT_EQ(result.error(), ScreenshotUploadError::notConfigured());
    EXPECT_TRUE(service.requests().isEmpty());
}

TEST_F(UploadTest, KeyNeverGoesToAPlainHttpAddressOfAnotherMachine) {
    QUrl address = service.baseUrl();
    address.setHost(QStringLiteral("0.0.0.0"));
    Feedback::setFeedbackServiceURL(address);
    const ScreenshotUploadResult result = await(Feedback::uploadScreenshotResult(smallJpeg(), "image/jpeg"));
    ASSERT_TRUE(result.error());
    EXPECT_EQ(result.error()->kind(), ScreenshotUploadError::Kind::transport);
    EXPECT_FALSE(result.error()->retryable()) << "no retry can change the address, and none is made";
    EXPECT_TRUE(service.requests().isEmpty());
}

TEST_F(UploadTest, AppKeyWithAControlCharacterIsNeverSentNorRetried) {
    QStringList lines;
    Feedback::setLogHandler([&lines](const QString& line) { lines.append(line); });
    Feedback::setAppKey(QStringLiteral("notes-app\r\nX-Injected: yes"));
    const ScreenshotUploadResult result = await(Feedback::uploadScreenshotResult(smallJpeg(), "image/jpeg"));
    Feedback::setLogHandler({});
    ASSERT_TRUE(result.error());
    EXPECT_EQ(result.error()->kind(), ScreenshotUploadError::Kind::transport);
    EXPECT_FALSE(result.error()->retryable());
    EXPECT_FALSE(result.error()->summary().contains(QStringLiteral("notes-app")));
    EXPECT_TRUE(service.requests().isEmpty());
    EXPECT_EQ(lines, QStringList{QStringLiteral(
                         "feedback: snapshot not sent: the X-App header holds a control character")});
}

TEST_F(UploadTest, BrokenAnswerIsATransportErrorAndRetried) {
    service.enqueue("POST", "/screenshot", ScriptedReply::cut(2, 200, R"({"id":"abc"})"));
    service.enqueue("POST", "/screenshot", ScriptedReply::cut(2, 200, R"({"id":"abc"})"));
    const ScreenshotUploadResult result = await(Feedback::uploadScreenshotResult(smallJpeg(), "image/jpeg"));
    ASSERT_TRUE(result.error());
    EXPECT_EQ(result.error()->kind(), ScreenshotUploadError::Kind::transport);
    EXPECT_TRUE(result.error()->summary().startsWith(QStringLiteral("network error (")));
    EXPECT_EQ(service.requests("/screenshot").size(), 2);
}

TEST_F(UploadTest, PlainEntryGivesTheAddress) {
    std::optional<std::optional<QString>> seen;
    QEventLoop loop;
    Feedback::uploadScreenshot(smallJpeg(), QStringLiteral("image/jpeg"),
                               [&](std::optional<QString> address) {
                                   seen = address;
                                   loop.quit();
                               });
    loop.exec();
    ASSERT_TRUE(seen && *seen);
    EXPECT_TRUE((*seen)->contains(QStringLiteral("/screenshot/")));
}

struct ErrorCase {
    ScreenshotUploadError error;
    const char* summary;
    bool retryable;
};

class UploadErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(UploadErrorTest, SummaryAndRetryable) {
    EXPECT_EQ(GetParam().error.summary(), QString::fromUtf8(GetParam().summary));
    EXPECT_EQ(GetParam().error.retryable(), GetParam().retryable);
}

INSTANTIATE_TEST_SUITE_P(Screenshot, UploadErrorTest,
                         ::testing::Values(ErrorCase{ScreenshotUploadError::http(0), "HTTP 0", false},
                                           ErrorCase{ScreenshotUploadError::http(404), "HTTP 404", false},
                                           ErrorCase{ScreenshotUploadError::http(408), "HTTP 408", true},
                                           ErrorCase{ScreenshotUploadError::http(413), "HTTP 413", true},
                                           ErrorCase{ScreenshotUploadError::http(429), "HTTP 429", true},
                                           ErrorCase{ScreenshotUploadError::http(499), "HTTP 499", false},
                                           ErrorCase{ScreenshotUploadError::http(500), "HTTP 500", true},
                                           ErrorCase{ScreenshotUploadError::http(599), "HTTP 599", true},
                                           ErrorCase{ScreenshotUploadError::transport("Connection refused"),
                                                     "network error (Connection refused)", true},
                                           ErrorCase{ScreenshotUploadError::notConfigured(),
                                                     "Feedback.appKey is not set", false},
                                           ErrorCase{ScreenshotUploadError::badResponse(),
                                                     "the hub answered without a screenshot id", true}));

} // namespace

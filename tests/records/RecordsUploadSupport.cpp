#include "RecordsUploadSupport.h"

#include "Feedback.h"

#include <QCoroTask>
#include <QJsonDocument>

namespace RecordsTest {

QJsonObject jsonBody(const RecordedRequest& request) {
    return QJsonDocument::fromJson(request.body).object();
}

void UploadFixture::SetUp() {
    RecordsFixture::SetUp();
    // The service answers from its own thread, so it keeps answering while the test blocks on the queue.
    service_ = ServiceStandIn::startOnThread();
    ASSERT_TRUE(service_);
    Feedback::setAccountServiceURL(service_->baseUrl());
    Feedback::setFeedbackServiceURL(service_->baseUrl());
    setToken(QStringLiteral("token-1"));
}

void UploadFixture::TearDown() {
    RecordsFixture::TearDown();
    service_.reset();
}

void UploadFixture::setToken(std::optional<QString> token) {
    if (!token) {
        Feedback::setAccountToken({});
        return;
    }
    Feedback::setAccountToken(
        [calls = tokenCalls_, token](Feedback::Completion<std::optional<QString>> done) {
            ++*calls;
            done(token);
        });
}

bool UploadFixture::upload(FailureRecords::Time now) {
    return QCoro::waitFor(FailureRecords::uploadNow(now));
}

QList<QJsonObject> UploadFixture::batches() const {
    QList<QJsonObject> bodies;
    for (const RecordedRequest& request : service_->requests(struggle))
        bodies.append(jsonBody(request));
    return bodies;
}

bool UploadFixture::waitForBatches(int count, std::chrono::milliseconds timeout) {
    return service_->waitForRequests(struggle, count, timeout);
}

} // namespace RecordsTest

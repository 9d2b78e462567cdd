#pragma once

#include "RecordsTestSupport.h"

#include "ServiceStandIn.h"

#include <QJsonObject>
#include <QThread>

#include <atomic>
#include <memory>

namespace RecordsTest {

QJsonObject jsonBody(const RecordedRequest& request);

// A records fixture with a real loopback stand-in serving both the account service and the feedback
// service, and an account token hook that answers "token-1" and counts its calls.
class UploadFixture : public RecordsFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // Awaits one upload from the main thread.
    bool upload(FailureRecords::Time now = FailureRecords::now());
    // The bodies the account service received, oldest first.
    QList<QJsonObject> batches() const;
    bool waitForBatches(int count, std::chrono::milliseconds timeout = 10s);
    // Installs the token hook, or removes it.
    void setToken(std::optional<QString> token);

    std::unique_ptr<ServiceStandIn> service_;
    std::shared_ptr<std::atomic<int>> tokenCalls_ = std::make_shared<std::atomic<int>>(0);

    static inline const QString struggle = QStringLiteral("/api/app/struggle");
    static inline const QString diagnostics = QStringLiteral("/diagnostics");
};

} // namespace RecordsTest

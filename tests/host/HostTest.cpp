// A host made in the test with only the parts it needs, fed input directly: the configuration hands
// the owner to the offer machine, and snapshot requests go out through the host's own line sink.
#include "Host.h"
#include "Feedback.h"
#include "FeedbackExternalHost.h"
#include "FeedbackReporter.h"
#include "SharedOfferReporter.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class HostTest : public ::testing::Test {
protected:
    void SetUp() override {
        Feedback::resetForTests();
        reporter.watcher().setRoots({home.filePath(QStringLiteral("config")), home.path()});
    }
    void TearDown() override {
        reporter.resetForTesting();
        Feedback::resetForTests();
    }

    FeedbackExternalHost::HostParts parts(std::shared_ptr<OfferReporter> offers) {
        return {nullptr, nullptr, std::move(offers), [this](const QByteArray& line) {
                    QMutexLocker lock(&mutex);
                    lines.append(QJsonDocument::fromJson(line).object());
                }};
    }
    QList<QJsonObject> written() {
        QMutexLocker lock(&mutex);
        return lines;
    }

    QTemporaryDir home;
    FeedbackReporter& reporter = FeedbackReporter::shared();
    QMutex mutex;
    QList<QJsonObject> lines;
};

TEST_F(HostTest, ConfigurationHandsTheOwnerToTheOfferMachineAndAnswersReady) {
    FeedbackExternalHost::Host host(parts(std::make_shared<SharedOfferReporter>(nullptr, nullptr, nullptr)));
    EXPECT_EQ(FeedbackExternalHost::Host::current(), &host);
    EXPECT_FALSE(FeedbackExternalHost::isHosting()) << "no owner until one is known";

    host.receive(R"({"config":{"appKey":"a","ownerPID":4242}})"
                 "\n"
                 R"({"config":{"ownerPID":1}})"
                 "\n");
    EXPECT_EQ(written().size(), 2);
    for (const QJsonObject& line : written())
        EXPECT_EQ(line, (QJsonObject{{QStringLiteral("event"), QStringLiteral("ready")}}));
    EXPECT_EQ(Feedback::appKey(), QStringLiteral("a"));
    EXPECT_EQ(FeedbackExternalHost::ownerPID(), 4242) << "1 is never an owner";
    EXPECT_EQ(reporter.watcher().ownerPID(), 4242);
    EXPECT_TRUE(reporter.watcher().started());
}

TEST_F(HostTest, SnapshotRequestsGoThroughTheHostAndItsAnswersComeBack) {
    FeedbackExternalHost::Host host(parts(nullptr));
    host.receive(R"({"config":{}})"
                 "\n");
    ASSERT_TRUE(Feedback::snapshotProvider());
    std::optional<std::optional<QByteArray>> answer;
    Feedback::snapshotProvider()([&](std::optional<QByteArray> bytes) { answer = std::move(bytes); });
    ASSERT_EQ(written().size(), 2);
    EXPECT_EQ(written()[1],
              (QJsonObject{{QStringLiteral("want"), QStringLiteral("snapshot")}, {QStringLiteral("id"), 1}}));
    host.receive(R"({"id":1,"snapshot":"aGVsbG8="})"
                 "\n");
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, QByteArray("hello"));

    // A host that is gone answers nothing more: the next host is a new one.
    {
        FeedbackExternalHost::Host inner(parts(nullptr));
        EXPECT_EQ(FeedbackExternalHost::Host::current(), &inner);
    }
    EXPECT_EQ(FeedbackExternalHost::Host::current(), &host);
}

} // namespace

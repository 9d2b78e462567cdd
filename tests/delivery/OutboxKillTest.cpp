// An application killed at random moments while it sends reports with snapshots: every report whose
// snapshot had started to go up is afterwards either received or still in the outbox, with its
// snapshot beside it when the picture never arrived.
#include "ServiceFixture.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTimer>

namespace {

using namespace std::chrono_literals;

class OutboxKillTest : public ServiceFixture {
protected:
    // Each stored report's message, and whether a snapshot waits beside it.
    QHash<QString, bool> stored() const {
        QHash<QString, bool> messages;
        const QDir dir(outboxDirectory());
        for (const QString& name : dir.entryList({QStringLiteral("*.json")}, QDir::Files)) {
            QFile file(dir.filePath(name));
            EXPECT_TRUE(file.open(QIODevice::ReadOnly));
            const QJsonObject report = json(file.readAll());
            EXPECT_FALSE(report.isEmpty()) << name.toStdString();
            messages.insert(report.value("message").toString(),
                            dir.exists(QFileInfo(name).completeBaseName() + QStringLiteral(".snapshot")));
        }
        return messages;
    }
};

TEST_F(OutboxKillTest, NothingSentIsLostAndNothingIsPostedTwice) {
    constexpr int trials = 50;
    constexpr int reportsPerRun = 3;
    service.setReply("POST", "/screenshot", ScriptedReply::delayed(60ms, 200, R"({"id":"pic"})"));
    service.setReply("POST", "/report", ScriptedReply::delayed(60ms, 200, R"({"code":"ok"})"));
    int waitingWithSnapshot = 0;
    int waitingWithout = 0;
    for (int trial = 0; trial < trials; ++trial) {
        QDir(outboxDirectory()).removeRecursively();
        service.clearRequests();
        QProcess sender;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("MORVIK_FEEDBACK_URL", service.baseUrl().toString());
        environment.insert("XDG_DATA_HOME", QFileInfo(outboxDirectory()).path());
        sender.setProcessEnvironment(environment);
        // Messages named per trial: a post of the trial before, still on its way to the service when its
        // sender was killed, is never taken for one of this trial.
        const QString prefix = QStringLiteral("t%1-m").arg(trial);
        sender.start(QStringLiteral(OUTBOX_SENDER), {QString::number(reportsPerRun), prefix});
        ASSERT_TRUE(sender.waitForStarted());
        ASSERT_TRUE(service.waitForRequests("/screenshot", 1, 20s))
            << sender.readAllStandardError().toStdString();
        QEventLoop wait;
        QTimer::singleShot(QRandomGenerator::global()->bounded(0, 400), &wait, &QEventLoop::quit);
        wait.exec();
        sender.kill(); // SIGKILL, and nothing when it has ended already
        sender.waitForFinished(5000);

        // Snapshots go up in order, one per report; every report whose picture went up was on disk first.
        const int started = int(service.requests("/screenshot").size());
        QHash<QString, int> received;
        for (const auto& request : service.requests("/report"))
            ++received[json(request.body).value("message").toString()];
        const QHash<QString, bool> waiting = stored();
        for (int i = 0; i < started; ++i) {
            const QString message = prefix + QString::number(i);
            EXPECT_LE(received.value(message), 1) << "trial " << trial << ": " << message.toStdString();
            EXPECT_TRUE(received.contains(message) || waiting.contains(message))
                << "trial " << trial << ": " << message.toStdString() << " lost";
        }
        for (auto it = waiting.begin(); it != waiting.end(); ++it)
            ++(it.value() ? waitingWithSnapshot : waitingWithout);
    }
    std::printf("[ figures  ] %d trials: reports left waiting with their snapshot %d, without %d\n", trials,
                waitingWithSnapshot, waitingWithout);
}

} // namespace

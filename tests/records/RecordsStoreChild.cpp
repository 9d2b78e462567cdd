// A process of "the same application" for the several-processes tests: it records into the store file
// it is given, and says on its standard output what the file holds of its work.
//
//   records_store_child record STORE FEATURE TOTAL BATCH
//       Records TOTAL occurrences of the failure FEATURE and as many of the failure "shared", BATCH
//       at a time; after each batch it saves and prints "saved N" (N: occurrences of FEATURE the
//       file now holds from this process). Ends with "done N".
//   records_store_child upload STORE FEATURE ROUNDS
//       ROUNDS times: records one occurrence of FEATURE and one of "shared", saves, uploads once
//       (at 2024-05-01T12:00:00Z) and prints "accepted" or "kept". The account service's address
//       comes from MORVIK_ACCOUNT_URL. Ends with "done".
//
// Uploads only happen when asked: the timers are set far beyond the run.

#include "FailureRecords.h"
#include "Feedback.h"
#include "FeedbackRecords.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QDateTime>

#include <chrono>
#include <cstdio>

namespace {

void say(const QByteArray& line) {
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// A save can find the store lock busy for longer than the queue waits (a machine under load): it is
// tried again, as the queue itself would later.
bool saved() {
    for (int attempt = 0; attempt < 20; ++attempt)
        if (FailureRecords::flush())
            return true;
    return false;
}

void recordOne(const QString& feature) {
    FailureRecords::record(QStringLiteral("action_failed"), feature, std::nullopt, 1, QStringLiteral("E1"));
    FailureRecords::record(QStringLiteral("action_failed"), QStringLiteral("shared"), std::nullopt, 1,
                           QStringLiteral("E1"));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 5)
        return 2;
    const QString mode = args.at(1);
    Feedback::setAppKey(QStringLiteral("child_app"));
    FailureRecords::setDebounce(std::chrono::hours(1));
    FailureRecords::setStartDelay(std::chrono::hours(1));
    FailureRecords::setStoreURL(args.at(2));
    const QString feature = args.at(3);

    if (mode == QLatin1String("record") && args.size() >= 6) {
        const int total = args.at(4).toInt();
        const int batch = qMax(1, args.at(5).toInt());
        int recorded = 0;
        while (recorded < total) {
            for (int i = 0; i < batch && recorded < total; ++i, ++recorded)
                recordOne(feature);
            if (!saved())
                return 3;
            say("saved " + QByteArray::number(recorded));
        }
        say("done " + QByteArray::number(recorded));
        return 0;
    }
    if (mode == QLatin1String("upload")) {
        Feedback::setAccountToken(
            [](Feedback::Completion<std::optional<QString>> done) { done(QStringLiteral("token-1")); });
        const auto noon = FailureRecords::Time(std::chrono::milliseconds(
            QDateTime::fromString(QStringLiteral("2024-05-01T12:00:00Z"), Qt::ISODate).toMSecsSinceEpoch()));
        const int rounds = args.at(4).toInt();
        for (int round = 0; round < rounds; ++round) {
            recordOne(feature);
            if (!saved())
                return 3;
            const bool accepted = QCoro::waitFor(FailureRecords::uploadNow(noon));
            say(accepted ? "accepted" : "kept");
        }
        say("done");
        return 0;
    }
    return 2;
}

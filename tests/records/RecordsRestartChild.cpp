// A second process for the restart test: it records (or not), uploads once and prints the outcome.
// The store location and the service addresses come from the environment the test gives it.

#include "FailureRecords.h"
#include "Feedback.h"
#include "FeedbackRecords.h"
#include "FleetFeature.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Feedback::setAppKey(QStringLiteral("restart_app"));
    Feedback::setAccountToken(
        [](Feedback::Completion<std::optional<QString>> done) { done(QStringLiteral("token-1")); });
    if (app.arguments().value(1) == QLatin1String("record"))
        Feedback::failed(FleetFeature::sync, QStringLiteral("E1"));
    const bool accepted = QCoro::waitFor(FailureRecords::uploadNow());
    QTextStream(stdout) << (accepted ? "accepted" : "kept") << Qt::endl;
    return 0;
}

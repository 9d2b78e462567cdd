// An application that embeds the feedback component through the installed package.
//
//   embedding-example              a window with a "Send Feedback…" button that opens the composer
//   embedding-example --send-once  sends one report without a window, prints the outcome and exits
//                                  (0 when the service accepted it, 1 otherwise)
//
// The service is the one in MORVIK_FEEDBACK_URL (the library reads it), the keys come from
// MORVIK_APP_KEY and MORVIK_INGEST_KEY when set.

#include "FeedbackLauncher.h"

#include <MorvikFeedback/Feedback.h>
#include <MorvikFeedback/FeedbackReport.h>

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>

#include <cstdio>

namespace {

QString environment(const char* name, const char* fallback) {
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? QString::fromLatin1(fallback) : value;
}

void sendOnce(QGuiApplication& app) {
    Feedback::sendOutcome(FeedbackIntent::idea, QStringLiteral("Hello from the embedding example."),
                          QString(), QString(), std::nullopt, [&app](const Feedback::SendOutcome& outcome) {
                              if (outcome.isSent()) {
                                  std::printf("sent: %s\n", qPrintable(outcome.code().value_or(QString())));
                              } else if (outcome.refusal()) {
                                  std::printf("refused: %s\n", qPrintable(*outcome.refusal()));
                              } else {
                                  std::printf("failed\n");
                              }
                              std::fflush(stdout);
                              app.exit(outcome.isSent() ? 0 : 1);
                          });
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("embedding-example"));
    QGuiApplication::setApplicationVersion(QStringLiteral("1.0"));

    Feedback::setAppKey(environment("MORVIK_APP_KEY", "example-app"));
    Feedback::setIngestKey(environment("MORVIK_INGEST_KEY", "example-ingest"));
    Feedback::setProductName(QStringLiteral("Embedding example"));

    if (QCoreApplication::arguments().contains(QStringLiteral("--send-once"))) {
        sendOnce(app);
        return app.exec();
    }

    FeedbackLauncher launcher;
    QQmlApplicationEngine engine;
    engine.rootContext()->setContextProperty(QStringLiteral("feedback"), &launcher);
    engine.load(QUrl(QStringLiteral("qrc:/embedding/Main.qml")));
    if (engine.rootObjects().isEmpty())
        return 1;
    return app.exec();
}

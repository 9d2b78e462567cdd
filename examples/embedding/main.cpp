// An application that embeds the feedback component through the installed package.
//
//   embedding-example              a settings page with every entry point: the settings section (with
//                                  its own sheet, and choosing the intent for the application's own
//                                  presenter), the contact row, a flag presenter, the composer in a
//                                  window of its own, the idea card, recorded failures and successes,
//                                  and screenshot offers whose "Tell us" the application handles itself
//   embedding-example --send-once  sends one report without a window, prints the outcome and exits
//                                  (0 when the service accepted it, 1 otherwise)
//   embedding-example --measure-first-composer=window|sheet
//                                  clicks "Send Feedback… (window)" or the section's "Share an idea"
//                                  once the page is on screen, prints the time from the click to the
//                                  first composer on screen and exits
//
// The service is the one in MORVIK_FEEDBACK_URL (the library reads it), the keys come from
// MORVIK_APP_KEY and MORVIK_INGEST_KEY when set.

#include "FeedbackLauncher.h"
#include "FirstComposerClock.h"

#include <MorvikFeedback/BannerWindowPresenter.h>
#include <MorvikFeedback/ComposerWindowPresenter.h>
#include <MorvikFeedback/Feedback.h>
#include <MorvikFeedback/FeedbackComposerQml.h>
#include <MorvikFeedback/FeedbackRecords.h>
#include <MorvikFeedback/FeedbackReport.h>
#include <MorvikFeedback/FeedbackReporter.h>
#include <MorvikFeedback/FeedbackRewards.h>
#include <MorvikFeedback/FeedbackView.h>
#include <MorvikFeedback/RewardsRefresher.h>
#include <MorvikFeedback/SharedOfferReporter.h>

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>

#include <cstdio>
#include <memory>

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

class ServiceRewards : public RewardsRefresher {
public:
    void refresh() override { Feedback::refreshRewards(); }
};

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("embedding-example"));
    QGuiApplication::setApplicationVersion(QStringLiteral("1.0"));

    Feedback::setAppKey(environment("MORVIK_APP_KEY", "example-app"));
    Feedback::setIngestKey(environment("MORVIK_INGEST_KEY", "example-ingest"));
    Feedback::setProductName(QStringLiteral("Embedding example"));

    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.contains(QStringLiteral("--send-once"))) {
        sendOnce(app);
        return app.exec();
    }
    QString measure;
    for (const QString& argument : arguments) {
        if (argument.startsWith(QLatin1String("--measure-first-composer=")))
            measure = argument.section(QLatin1Char('='), 1);
    }
    // Installed before anything logs, so that the composer's own lines can stop the clock.
    std::unique_ptr<FirstComposerClock> clock;
    if (!measure.isEmpty())
        clock = std::make_unique<FirstComposerClock>(measure);

    // Failures and journey steps of this run, uploaded in batches.
    Feedback::startRecords();

    FeedbackLauncher launcher;
    QQmlApplicationEngine engine;
    FeedbackComposerQml::addModuleImportPath(engine);
    engine.rootContext()->setContextProperty(QStringLiteral("feedback"), &launcher);
    engine.load(QUrl(QStringLiteral("qrc:/embedding/Main.qml")));
    if (engine.rootObjects().isEmpty())
        return 1;
    auto* page = qobject_cast<QQuickWindow*>(engine.rootObjects().constFirst());

    // Screenshot offers: a screenshot taken while this window is active brings the banner; "Tell us"
    // opens the page's own composer sheet for a bug, through the same property its section writes.
    SharedOfferReporter offers(std::make_shared<ComposerWindowPresenter>(),
                               std::make_shared<BannerWindowPresenter>(), std::make_shared<ServiceRewards>());
    FeedbackReporter::shared().setHandler(QStringLiteral("embedding-example"), [page] {
        page->setProperty("feedbackIntent", int(FeedbackView::Bug));
    });
    offers.activate();

    if (clock && !clock->start(page))
        return 1;
    return app.exec();
}

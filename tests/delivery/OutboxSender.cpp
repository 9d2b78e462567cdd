// A stand-in for an application that sends reports with snapshots one after the other, for tests that
// kill it at random moments. Prints "sending N" before each report and "settled N" after it.
// Usage: delivery_outbox_sender COUNT [PREFIX] (messages PREFIX0, PREFIX1, ...; "m" by default; the
// service's URL from MORVIK_FEEDBACK_URL, the outbox from XDG_DATA_HOME).
#include "Feedback.h"
#include "FeedbackScreenshot.h"
#include "TestImages.h"

#include <QCoroTask>
#include <QGuiApplication>
#include <QTimer>

#include <cstdio>

namespace {

QCoro::Task<> sendAll(int count, QString prefix) {
    const QByteArray picture = TestImages::jpeg(TestImages::halves(320, 200, Qt::red, Qt::blue), 90);
    for (int i = 0; i < count; ++i) {
        std::printf("sending %d\n", i);
        std::fflush(stdout);
        co_await Feedback::deliverOutcome(FeedbackIntent::bug, prefix + QString::number(i), QString(),
                                          picture);
        std::printf("settled %d\n", i);
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 1;
    const QString prefix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("m");
    Feedback::setAppKey(QStringLiteral("app"));
    Feedback::setIngestKey(QStringLiteral("ingest"));
    QTimer::singleShot(0, [count, prefix] {
        QCoro::connect(sendAll(count, prefix), qApp, [] { QCoreApplication::quit(); });
    });
    return app.exec();
}

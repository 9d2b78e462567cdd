// morvik-service-standin [--port N] [--db PATH]
//
// Serves the loopback stand-in for the feedback and account services on 127.0.0.1 until SIGTERM or
// SIGINT, keeping what it receives in an SQLite file. Once it listens it prints one line,
// "listening http://127.0.0.1:PORT", so that a script can wait for it and read the port.

#include "InboxStore.h"
#include "ServiceStandIn.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

// Only async-signal-safe work here: the event loop picks the byte up and quits.
void onTerminate(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

bool installTerminationHandlers() {
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = onTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    std::signal(SIGPIPE, SIG_IGN);
    return ::sigaction(SIGTERM, &action, nullptr) == 0 && ::sigaction(SIGINT, &action, nullptr) == 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("morvik-service-standin"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Loopback stand-in for the feedback service and the account service."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Port on 127.0.0.1 (0: any free port)."),
                                        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption dbOption(QStringLiteral("db"),
                                      QStringLiteral("SQLite file that keeps the inbox."),
                                      QStringLiteral("PATH"), QStringLiteral("morvik-standin-inbox.sqlite"));
    parser.addOption(portOption);
    parser.addOption(dbOption);
    parser.process(app);

    bool portValid = false;
    const uint port = parser.value(portOption).toUInt(&portValid);
    if (!portValid || port > 65535) {
        std::fprintf(stderr, "morvik-service-standin: --port needs a number from 0 to 65535\n");
        return 2;
    }

    InboxStore store(parser.value(dbOption));
    if (!store.isOpen()) {
        std::fprintf(stderr, "morvik-service-standin: cannot open %s: %s\n", qPrintable(store.path()),
                     qPrintable(store.errorText()));
        return 1;
    }
    ServiceStandIn standIn;
    standIn.setInboxStore(&store);
    if (!standIn.listen(static_cast<quint16>(port))) {
        std::fprintf(stderr, "morvik-service-standin: cannot listen on 127.0.0.1:%u\n", port);
        return 1;
    }
    if (!installTerminationHandlers()) {
        std::fprintf(stderr, "morvik-service-standin: cannot install signal handlers\n");
        return 1;
    }
    QSocketNotifier terminate(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&terminate, &QSocketNotifier::activated, &app, &QCoreApplication::quit);

    std::printf("listening %s\n", standIn.baseUrl().toString().toUtf8().constData());
    std::fflush(stdout);
    return app.exec();
}

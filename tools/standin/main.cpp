// morvik-service-standin [--port N] [--db PATH] [--delay-ms N] [--redirect STATUS [--redirect-target URL]]
//
// Serves the loopback stand-in for the feedback and account services on 127.0.0.1 until SIGTERM or
// SIGINT, keeping what it receives in an SQLite file. Once it listens it prints one line,
// "listening http://127.0.0.1:PORT", so that a script can wait for it and read the port.
//
// --delay-ms holds every answer back that long. --redirect answers every request under "/moved" with
// that status (301, 302, 303, 307 or 308) and a Location without the "/moved" prefix, on the same
// origin or on the origin given with --redirect-target; a client whose base URL ends in "/moved" is
// thus redirected on every call.

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
    const QCommandLineOption delayOption(QStringLiteral("delay-ms"),
                                         QStringLiteral("Hold every answer back this many milliseconds."),
                                         QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption redirectOption(
        QStringLiteral("redirect"),
        QStringLiteral("Answer requests under /moved with this redirect status (301, 302, 303, 307, 308)."),
        QStringLiteral("STATUS"));
    const QCommandLineOption redirectTargetOption(
        QStringLiteral("redirect-target"),
        QStringLiteral("Base URL the redirects point to (default: this stand-in)."), QStringLiteral("URL"));
    parser.addOption(portOption);
    parser.addOption(dbOption);
    parser.addOption(delayOption);
    parser.addOption(redirectOption);
    parser.addOption(redirectTargetOption);
    parser.process(app);

    bool portValid = false;
    const uint port = parser.value(portOption).toUInt(&portValid);
    if (!portValid || port > 65535) {
        std::fprintf(stderr, "morvik-service-standin: --port needs a number from 0 to 65535\n");
        return 2;
    }

    bool delayValid = false;
    const int delay = parser.value(delayOption).toInt(&delayValid);
    if (!delayValid || delay < 0) {
        std::fprintf(stderr, "morvik-service-standin: --delay-ms needs a number of 0 or more\n");
        return 2;
    }
    int redirectStatus = 0;
    if (parser.isSet(redirectOption)) {
        redirectStatus = parser.value(redirectOption).toInt();
        if (redirectStatus != 301 && redirectStatus != 302 && redirectStatus != 303 &&
            redirectStatus != 307 && redirectStatus != 308) {
            std::fprintf(stderr, "morvik-service-standin: --redirect needs 301, 302, 303, 307 or 308\n");
            return 2;
        }
    }
    const QUrl redirectTarget(parser.value(redirectTargetOption), QUrl::StrictMode);
    if (parser.isSet(redirectTargetOption) &&
        (!redirectTarget.isValid() || redirectTarget.host().isEmpty())) {
        std::fprintf(stderr, "morvik-service-standin: --redirect-target needs an absolute URL\n");
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
    standIn.setAnswerDelay(std::chrono::milliseconds(delay));
    if (redirectStatus != 0)
        standIn.setRedirect(QStringLiteral("/moved"), redirectStatus, redirectTarget);
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

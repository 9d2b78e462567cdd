#include "MorvikFeedbackHelper.h"

#include "FeedbackExternalHost.h"
#include "Host.h"
#include "LoadedBannerPresenter.h"
#include "LoadedComposerPresenter.h"
#include "LoadedOutboxFlusher.h"
#include "LoadedRewardsRefresher.h"
#include "ReopenDelegate.h"
#include "SharedOfferReporter.h"
#include "StandardDescriptors.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>
#include <cstring>
#include <memory>

#ifndef MORVIK_VERSION
#define MORVIK_VERSION "0.0.0"
#endif

namespace {

constexpr const char* usage =
    "Usage: morvik-feedback-helper [--help] [--version] [--reopen]\n"
    "\n"
    "The feedback helper of an application (its owner). The owner starts it as a child process and\n"
    "talks to it over standard input and output, one JSON object per line:\n"
    "  in:  {\"config\":{...}}  {\"cmd\":\"compose\"}  {\"cmd\":\"flush\"}  "
    "{\"id\":N,\"snapshot\":\"BASE64\"}\n"
    "  out: {\"event\":\"ready\"}  {\"want\":\"snapshot\",\"id\":N}  {\"log\":\"...\"}  "
    "{\"event\":\"flushed\",\"sent\":N}\n"
    "The helper exits with status 0 when its standard input ends.\n"
    "\n"
    "  --reopen  bring the running helper's composer forward (or open it) and exit; status 1 when\n"
    "            no helper of this user runs. Starting the helper from a terminal does the same.\n"
    "\n"
    "Environment:\n"
    "  MORVIK_FEEDBACK_URL  base URL of the feedback service\n"
    "  MORVIK_ACCOUNT_URL   base URL of the account service\n";

int reopenRunningHelper(int argc, char** argv, bool mustAnswer) {
    QCoreApplication app(argc, argv);
    if (FeedbackExternalHost::ReopenDelegate::requestReopen())
        return 0;
    if (mustAnswer)
        std::fputs("morvik-feedback-helper: no running helper answered\n", stderr);
    return 1;
}

} // namespace

int MorvikFeedbackHelper::main(int argc, char** argv) {
    // Before anything opens a file: a closed descriptor 0 would otherwise be taken by the event
    // dispatcher and read as if it were the owner.
    StandardDescriptors::install();

    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(usage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("morvik-feedback-helper %s\n", MORVIK_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--reopen") == 0)
            return reopenRunningHelper(argc, argv, true);
    }
    // Started from a terminal, the helper has no owner: that is the user asking for the composer of the
    // helper that runs. Any other standard input (a pipe, a socket, a file, /dev/null) is served,
    // however few lines it holds, so that a script's input never goes to another helper.
    if (StandardDescriptors::inputIsTerminal() && reopenRunningHelper(argc, argv, false) == 0)
        return 0;

    // Without a display the helper still speaks the protocol and delivers reports; windows are then
    // drawn off screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb;offscreen");

    QGuiApplication::setApplicationName(QStringLiteral("morvik-feedback-helper"));
    QGuiApplication::setApplicationVersion(QStringLiteral(MORVIK_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("morvik-feedback-helper"));
    static QGuiApplication app(argc, argv);

    // Windows and the network stack are loaded when first needed, not at start.
    auto composer = std::make_shared<LoadedComposerPresenter>();
    auto offers = std::make_shared<SharedOfferReporter>(composer, std::make_shared<LoadedBannerPresenter>(),
                                                        std::make_shared<LoadedRewardsRefresher>());
    static FeedbackExternalHost::Host host({composer, std::make_shared<LoadedOutboxFlusher>(), offers, {}});
    host.run();
}

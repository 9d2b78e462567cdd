#include "TerminationSignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int handled[] = {SIGTERM, SIGINT};

// The write end of the pipe, read by the handler.
std::atomic<int> writeEnd{-1};

extern "C" void forwardSignal(int signalNumber) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // Non-blocking: with the pipe full, the signals already in it are enough to end the process.
    [[maybe_unused]] const ssize_t written = ::write(writeEnd.load(), &byte, 1);
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent) {
    int fds[2];
    if (writeEnd.load() >= 0 || ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    readFd_ = fds[0];
    writeEnd.store(fds[1]);
    notifier_ = new QSocketNotifier(readFd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::drain);

    struct sigaction action {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls carry on; the process ends from the event loop.
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : handled) {
        // A signal ignored from the start stays ignored, as whoever started us asked (a shell
        // ignores SIGINT for the commands it runs in the background, for instance).
        struct sigaction inherited {};
        if (::sigaction(signalNumber, nullptr, &inherited) != 0 || inherited.sa_handler == SIG_IGN)
            continue;
        if (::sigaction(signalNumber, &action, nullptr) == 0)
            installed_.push_back(signalNumber);
    }
}

TerminationSignals::~TerminationSignals() {
    if (!notifier_)
        return;
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : installed_)
        ::sigaction(signalNumber, &action, nullptr);
    delete notifier_;
    ::close(writeEnd.exchange(-1));
    ::close(readFd_);
}

void TerminationSignals::drain() {
    unsigned char bytes[16];
    for (;;) {
        const ssize_t got = ::read(readFd_, bytes, sizeof bytes);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return;
        for (ssize_t i = 0; i < got; ++i)
            Q_EMIT received(bytes[i]);
    }
}

#include "StdinReader.h"

#include <QSocketNotifier>

#include <cerrno>
#include <unistd.h>

namespace {
constexpr qsizetype readSize = 64 * 1024;
}

StdinReader::StdinReader(int fd, QObject* parent)
    : QObject(parent)
    , fd_(fd)
    , notifier_(new QSocketNotifier(fd, QSocketNotifier::Read, this)) {
    connect(notifier_, &QSocketNotifier::activated, this, &StdinReader::readOnce);
}

StdinReader::~StdinReader() = default;

void StdinReader::readOnce() {
    QByteArray bytes(readSize, Qt::Uninitialized);
    ssize_t got;
    do {
        got = ::read(fd_, bytes.data(), static_cast<size_t>(readSize));
    } while (got < 0 && errno == EINTR);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return;
    // A read error leaves nothing more to read: it ends the input like end of file does.
    bytes.truncate(got > 0 ? got : 0);
    if (bytes.isEmpty())
        notifier_->setEnabled(false);
    Q_EMIT chunk(bytes);
}

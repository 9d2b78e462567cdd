#include "StdoutWriter.h"

#include <QMutex>

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace {
QMutex writerMutex;
int descriptor = STDOUT_FILENO;
bool broken = false;
} // namespace

bool StdoutWriter::writeLine(const QByteArray& line) {
    QByteArray bytes;
    bytes.reserve(line.size() + 1);
    bytes.append(line).append('\n');
    QMutexLocker lock(&writerMutex);
    if (broken)
        return false;
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(descriptor, data, static_cast<size_t>(left));
        if (written >= 0) {
            data += written;
            left -= written;
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // The descriptor was made non-blocking by someone else: wait until the reader drains it.
            pollfd pfd{descriptor, POLLOUT, 0};
            ::poll(&pfd, 1, -1);
            continue;
        }
        broken = true;
        return false;
    }
    return true;
}

void StdoutWriter::setDescriptorForTests(int fd) {
    QMutexLocker lock(&writerMutex);
    descriptor = fd < 0 ? STDOUT_FILENO : fd;
    broken = false;
}

#include "FileLock.h"

#include "PrivateFolder.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

int openNoInterrupt(const QByteArray& path, int flags, mode_t mode) {
    int fd = -1;
    do {
        fd = ::open(path.constData(), flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool isRegularFile(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

// Opens (or makes) the lock file; a symbolic link or another kind of file in its place is removed
// once and the file made anew. -1 when that does not work either.
int openLockFile(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    // O_NONBLOCK: a pipe put in its place must not hold the open up.
    constexpr int flags = O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = openNoInterrupt(native, flags, S_IRUSR | S_IWUSR);
        if (fd >= 0 && isRegularFile(fd))
            return fd;
        if (fd >= 0)
            ::close(fd);
        else if (errno != ELOOP && errno != EISDIR && errno != ENXIO && errno != EACCES)
            return -1;
        if (attempt == 0 && ::unlink(native.constData()) != 0 && ::rmdir(native.constData()) != 0)
            return -1;
    }
    return -1;
}

} // namespace

FileLock::FileLock(FileLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1))
    , status_(std::exchange(other.status_, Status::unavailable)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        release();
        fd_ = std::exchange(other.fd_, -1);
        status_ = std::exchange(other.status_, Status::unavailable);
    }
    return *this;
}

FileLock::~FileLock() {
    release();
}

void FileLock::release() {
    if (fd_ >= 0)
        ::close(fd_); // closing the last descriptor of the open file lets the lock go
    fd_ = -1;
    status_ = Status::unavailable;
}

FileLock FileLock::acquire(const QString& path, std::chrono::milliseconds wait) {
    FileLock lock;
    if (!PrivateFolder::make(QFileInfo(path).absolutePath()))
        return lock;
    lock.fd_ = openLockFile(path);
    if (lock.fd_ < 0)
        return lock;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    auto pause = std::chrono::microseconds(200);
    for (;;) {
        if (::flock(lock.fd_, LOCK_EX | LOCK_NB) == 0) {
            lock.status_ = Status::held;
            return lock;
        }
        const int error = errno;
        if (error == EINTR)
            continue;
        if (error != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
            const Status status = error == EWOULDBLOCK ? Status::busy : Status::unavailable;
            lock.release();
            lock.status_ = status;
            return lock;
        }
        // Holders keep the lock for one read, merge and write: a short pause, growing to 5 ms.
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(5000));
    }
}

#include "RecordsStoreFile.h"

#include "PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

std::atomic<quint64> RecordsStoreFile::writes_{0};

namespace {

constexpr QFileDevice::Permissions privateFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

int openNoInterrupt(const QByteArray& path, int flags, mode_t mode = 0) {
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

std::optional<FailureRecords::State> RecordsStoreFile::read(const QString& path) {
    // Only a regular file of ours: not followed through a link, and a pipe or a device put in its
    // place neither blocks the queue nor feeds it without end.
    const int fd = openNoInterrupt(QFile::encodeName(path), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    QFile file;
    if (!isRegularFile(fd) || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
    const QByteArray bytes = file.read(maxBytes + 1);
    if (bytes.size() > maxBytes)
        return std::nullopt;
    const auto state = FailureRecords::State::decode(bytes);
    if (!state)
        return std::nullopt;
    return state->checked();
}

bool RecordsStoreFile::write(const QString& path, const QByteArray& bytes) {
    if (!PrivateFolder::make(QFileInfo(path).absolutePath()))
        return false;
    // QSaveFile writes through a symbolic link to its target; the store replaces the link instead.
    if (QFileInfo(path).isSymLink())
        QFile::remove(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // Set on the temporary file, so the file is never readable by others, not even for a moment.
    file.setPermissions(privateFile);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        return false;
    writes_.fetch_add(1, std::memory_order_relaxed);
    return true;
}

quint64 RecordsStoreFile::writeCount() {
    return writes_.load(std::memory_order_relaxed);
}

// --- Lock ------------------------------------------------------------------------------------------

RecordsFileLock::RecordsFileLock(RecordsFileLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1))
    , status_(std::exchange(other.status_, Status::unavailable)) {}

RecordsFileLock& RecordsFileLock::operator=(RecordsFileLock&& other) noexcept {
    if (this != &other) {
        release();
        fd_ = std::exchange(other.fd_, -1);
        status_ = std::exchange(other.status_, Status::unavailable);
    }
    return *this;
}

RecordsFileLock::~RecordsFileLock() {
    release();
}

void RecordsFileLock::release() {
    if (fd_ >= 0)
        ::close(fd_); // closing the last descriptor of the open file lets the lock go
    fd_ = -1;
    status_ = Status::unavailable;
}

RecordsFileLock RecordsFileLock::acquire(const QString& path, std::chrono::milliseconds wait) {
    RecordsFileLock lock;
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

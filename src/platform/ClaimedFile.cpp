#include "ClaimedFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int closeKeepingErrno(int fd) {
    const int saved = errno;
    const int result = ::close(fd);
    errno = saved;
    return result;
}

bool writeAll(int fd, const QByteArray& bytes) {
    const char* at = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, at, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        at += written;
        left -= written;
    }
    return true;
}

QDateTime fromTimespec(const std::timespec& time) {
    return QDateTime::fromMSecsSinceEpoch(qint64(time.tv_sec) * 1000 + time.tv_nsec / 1000000, Qt::UTC);
}

} // namespace

std::variant<ClaimedFile, ClaimedFile::Refusal> ClaimedFile::claim(const QString& path, qint64 maxBytes) {
    const QByteArray name = QFile::encodeName(path);
    // O_NONBLOCK: opening a FIFO for reading returns at once instead of waiting for a writer.
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT)
            return Refusal::gone;
        if (errno == ELOOP || errno == ENXIO || errno == EISDIR)
            return Refusal::notRegular;
        return Refusal::unreadable;
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0) {
        closeKeepingErrno(fd);
        return Refusal::unreadable;
    }
    if (!S_ISREG(opened.st_mode)) {
        closeKeepingErrno(fd);
        return Refusal::notRegular;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool busy = errno == EWOULDBLOCK;
        closeKeepingErrno(fd);
        return busy ? Refusal::busy : Refusal::unreadable;
    }
    // The holder before us may have deleted the file or put a new one in its place while we waited
    // for the lock; then what we hold is no longer the entry.
    struct stat current {};
    if (::fstat(fd, &opened) != 0 || opened.st_nlink == 0 || ::lstat(name.constData(), &current) != 0 ||
        current.st_dev != opened.st_dev || current.st_ino != opened.st_ino) {
        closeKeepingErrno(fd);
        return Refusal::gone;
    }
    if (opened.st_size > maxBytes) {
        closeKeepingErrno(fd);
        return Refusal::tooLarge;
    }
    return ClaimedFile(path, fd);
}

std::optional<ClaimedFile> ClaimedFile::create(const QString& path, const QByteArray& bytes) {
    return writeClaimed(path, bytes, nullptr);
}

std::optional<ClaimedFile> ClaimedFile::writeClaimed(const QString& path, const QByteArray& bytes,
                                                     const std::timespec* keepModified) {
    const QFileInfo target(path);
    // Hidden and without the target's suffix, so that a listing of entries never takes it for one.
    const QString temporary = target.absoluteDir().filePath(
        QStringLiteral(".%1.%2.tmp").arg(target.fileName(), QUuid::createUuid().toString(QUuid::Id128)));
    const QByteArray temporaryName = QFile::encodeName(temporary);
    const int fd = ::open(temporaryName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          S_IRUSR | S_IWUSR);
    if (fd < 0)
        return std::nullopt;
    bool ok = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
              writeAll(fd, bytes) && ::fdatasync(fd) == 0;
    if (ok && keepModified) {
        const std::timespec times[2] = {{0, UTIME_OMIT}, *keepModified};
        ok = ::futimens(fd, times) == 0;
    }
    ok = ok && ::rename(temporaryName.constData(), QFile::encodeName(path).constData()) == 0;
    if (!ok) {
        ::unlink(temporaryName.constData());
        closeKeepingErrno(fd);
        return std::nullopt;
    }
    return ClaimedFile(path, fd);
}

ClaimedFile::ClaimedFile(ClaimedFile&& other) noexcept
    : path_(std::move(other.path_))
    , fd_(std::exchange(other.fd_, -1)) {}

ClaimedFile& ClaimedFile::operator=(ClaimedFile&& other) noexcept {
    if (this != &other) {
        release();
        path_ = std::move(other.path_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

ClaimedFile::~ClaimedFile() {
    release();
}

void ClaimedFile::release() {
    if (fd_ >= 0)
        ::close(std::exchange(fd_, -1));
}

QDateTime ClaimedFile::modified() const {
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0)
        return {};
    return fromTimespec(info.st_mtim);
}

std::optional<QByteArray> ClaimedFile::read(qint64 maxBytes) const {
    if (fd_ < 0)
        return std::nullopt;
    QByteArray result;
    char buffer[65536];
    qint64 offset = 0;
    for (;;) {
        const ssize_t got = ::pread(fd_, buffer, sizeof buffer, offset);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (got == 0)
            return result;
        offset += got;
        if (offset > maxBytes)
            return std::nullopt;
        result.append(buffer, got);
    }
}

bool ClaimedFile::replace(const QByteArray& bytes) {
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0)
        return false;
    std::optional<ClaimedFile> replacement = writeClaimed(path_, bytes, &info.st_mtim);
    if (!replacement)
        return false;
    *this = std::move(*replacement);
    return true;
}

void ClaimedFile::remove() && {
    if (fd_ >= 0)
        ::unlink(QFile::encodeName(path_).constData());
    release();
}

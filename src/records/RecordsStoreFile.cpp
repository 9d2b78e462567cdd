#include "RecordsStoreFile.h"

#include "PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
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

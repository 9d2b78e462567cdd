#include "FileTimes.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace FileTimes {

namespace {

QDateTime fromStamp(const struct statx_timestamp& stamp) {
    return QDateTime::fromMSecsSinceEpoch(qint64(stamp.tv_sec) * 1000 + stamp.tv_nsec / 1000000, Qt::UTC);
}

} // namespace

std::optional<QDateTime> created(const QString& path) {
    if (path.isEmpty())
        return std::nullopt;
    const QByteArray name = QFile::encodeName(path);
    struct statx facts {};
    if (::statx(AT_FDCWD, name.constData(), AT_SYMLINK_NOFOLLOW, STATX_BTIME | STATX_MTIME, &facts) == 0) {
        if (facts.stx_mask & STATX_BTIME)
            return fromStamp(facts.stx_btime);
        if (facts.stx_mask & STATX_MTIME)
            return fromStamp(facts.stx_mtime);
        return std::nullopt;
    }
    // A kernel or sandbox without statx still answers the classic stat.
    if (errno != ENOSYS && errno != EPERM)
        return std::nullopt;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return std::nullopt;
    return info.lastModified().toUTC();
}

} // namespace FileTimes

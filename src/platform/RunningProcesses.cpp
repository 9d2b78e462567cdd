#include "RunningProcesses.h"

#include <QFile>

#include <climits>
#include <dirent.h>
#include <unistd.h>

namespace RunningProcesses {

namespace {

QString baseName(const QByteArray& path) {
    return QFile::decodeName(path.mid(path.lastIndexOf('/') + 1));
}

// The executable's path from the kernel's link; a binary replaced or removed while it runs (an
// upgrade) is still named by its old path with " (deleted)" after it.
std::optional<QString> fromExecutableLink(const QByteArray& procFolder) {
    char target[PATH_MAX];
    const ssize_t length = ::readlink((procFolder + "/exe").constData(), target, sizeof target);
    if (length <= 0 || length >= ssize_t(sizeof target))
        return std::nullopt;
    QByteArray path(target, length);
    static constexpr char deleted[] = " (deleted)";
    if (path.endsWith(deleted))
        path.chop(qsizetype(sizeof deleted) - 1);
    const QString name = baseName(path);
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

// Another user's process hides its executable link, but its command line is readable: the first
// argument names the program the way it was started.
std::optional<QString> fromCommandLine(const QByteArray& procFolder) {
    QFile file(QString::fromLatin1(procFolder + "/cmdline"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return std::nullopt;
    // The first argument is all that is needed; a path longer than this is not a tool of ours.
    const QByteArray head = file.read(PATH_MAX);
    const qsizetype end = head.indexOf('\0');
    const QByteArray first = end >= 0 ? head.left(end) : head;
    const QString name = baseName(first);
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

} // namespace

std::optional<QString> executableName(std::int32_t pid) {
    if (pid <= 0)
        return std::nullopt;
    const QByteArray procFolder = "/proc/" + QByteArray::number(pid);
    if (auto name = fromExecutableLink(procFolder))
        return name;
    return fromCommandLine(procFolder);
}

QList<std::int32_t> named(const QStringList& names) {
    QList<std::int32_t> found;
    if (names.isEmpty())
        return found;
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return found;
    while (const dirent* entry = ::readdir(proc)) {
        bool numeric = false;
        const int pid = QByteArray(entry->d_name).toInt(&numeric);
        if (!numeric || pid <= 0)
            continue;
        // Processes that end during the scan simply have no name any more.
        if (const auto name = executableName(pid); name && names.contains(*name))
            found.append(pid);
    }
    ::closedir(proc);
    return found;
}

} // namespace RunningProcesses

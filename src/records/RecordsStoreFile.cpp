#include "RecordsStoreFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

std::atomic<quint64> RecordsStoreFile::writes_{0};

namespace {

constexpr QFileDevice::Permissions privateFolder =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
constexpr QFileDevice::Permissions privateFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// Creates the folder and its missing parents, each missing one as 0700.
bool makeFolder(const QString& folder) {
    QStringList missing;
    QString at = QDir::cleanPath(folder);
    while (!QFileInfo::exists(at)) {
        missing.prepend(at);
        const QString parent = QFileInfo(at).path();
        if (parent == at)
            break;
        at = parent;
    }
    QDir dir;
    for (const QString& path : std::as_const(missing))
        if (!dir.mkdir(path, privateFolder) && !QFileInfo(path).isDir())
            return false;
    return QFileInfo(folder).isDir();
}

} // namespace

std::optional<FailureRecords::State> RecordsStoreFile::read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.read(maxBytes + 1);
    if (bytes.size() > maxBytes)
        return std::nullopt;
    return FailureRecords::State::decode(bytes);
}

bool RecordsStoreFile::write(const QString& path, const QByteArray& bytes) {
    if (!makeFolder(QFileInfo(path).absolutePath()))
        return false;
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

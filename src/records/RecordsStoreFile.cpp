#include "RecordsStoreFile.h"

#include "PrivateFolder.h"
#include "RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

std::atomic<quint64> RecordsStoreFile::writes_{0};

namespace {

constexpr QFileDevice::Permissions privateFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

} // namespace

std::optional<FailureRecords::State> RecordsStoreFile::read(const QString& path) {
    // Only a regular file of ours: not followed through a link, and a pipe or a device put in its
    // place neither blocks the queue nor feeds it without end.
    const std::optional<QByteArray> bytes = RegularFile::read(path, maxBytes);
    if (!bytes)
        return std::nullopt;
    const auto state = FailureRecords::State::decode(*bytes);
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

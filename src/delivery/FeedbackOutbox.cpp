#include "FeedbackOutbox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUuid>

#include <algorithm>

namespace FeedbackOutbox {
namespace {

constexpr QFile::Permissions directoryPermissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
constexpr QFile::Permissions filePermissions = QFile::ReadOwner | QFile::WriteOwner;
constexpr QFile::Permissions groupOrOthers = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                             QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;

struct Location {
    QMutex mutex;
    std::optional<QString> replaced;
};

Location& location() {
    static Location l;
    return l;
}

QString defaultDirectory() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data.isEmpty() ? QString() : QDir(data).filePath(QStringLiteral("FeedbackOutbox"));
}

bool isDefault(const QString& dir) {
    return dir == defaultDirectory();
}

// Creates the directory 0700 (its parents with the usual permissions). The default outbox directory
// is tightened to 0700 when an earlier program left it wider; a directory the embedding code chose is
// left as it is, since it may be shared with other data.
void prepareDirectory(const QString& dir) {
    const QFileInfo info(dir);
    if (!info.exists()) {
        QDir().mkpath(info.absolutePath());
        QDir().mkdir(dir, directoryPermissions);
    } else if (info.isDir() && isDefault(dir) && (info.permissions() & groupOrOthers)) {
        QFile::setPermissions(dir, directoryPermissions);
    }
}

QString canonicalUuid() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

} // namespace

QString directory() {
    {
        QMutexLocker lock(&location().mutex);
        if (location().replaced)
            return *location().replaced;
    }
    return defaultDirectory();
}

void setDirectory(const std::optional<QString>& path) {
    QMutexLocker lock(&location().mutex);
    location().replaced = path;
}

std::optional<QString> save(const QByteArray& body) {
    const QString dir = directory();
    if (dir.isEmpty())
        return std::nullopt;
    prepareDirectory(dir);
    const QString path = QDir(dir).filePath(canonicalUuid() + QStringLiteral(".json"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return std::nullopt;
    // The temporary file gets its final permissions before any byte is written into it.
    if (!file.setPermissions(filePermissions) || file.write(body) != body.size()) {
        file.cancelWriting();
        file.commit();
        return std::nullopt;
    }
    if (!file.commit())
        return std::nullopt;
    return path;
}

QStringList pending(const QDateTime& now) {
    const QString dir = directory();
    if (dir.isEmpty())
        return {};
    QDir listing(dir);
    if (!listing.exists())
        return {};
    QStringList result;
    const QFileInfoList entries = listing.entryInfoList(
        QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& entry : entries) {
        if (entry.suffix() != QLatin1String("json"))
            continue;
        QDateTime modified = entry.lastModified();
        if (!modified.isValid())
            modified = now;
        if (modified.msecsTo(now) > std::chrono::milliseconds(maxAge).count()) {
            QFile::remove(entry.filePath());
            continue;
        }
        result.append(entry.filePath());
    }
    // Plain code-point order of the file names; the names are random, so this is not creation order.
    std::sort(result.begin(), result.end(), [](const QString& a, const QString& b) {
        return QFileInfo(a).fileName() < QFileInfo(b).fileName();
    });
    return result;
}

void remove(const std::optional<QString>& path) {
    if (path)
        QFile::remove(*path);
}

} // namespace FeedbackOutbox

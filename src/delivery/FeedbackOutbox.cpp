#include "FeedbackOutbox.h"

#include "ClaimedFile.h"
#include "OutboxEntry.h"
#include "PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>
#include <QUuid>

#include <algorithm>

namespace FeedbackOutbox {
namespace {

constexpr QFile::Permissions directoryPermissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
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

// Creates the directory and its missing parents 0700. The default outbox directory is tightened to
// 0700 when an earlier program left it wider; a directory the embedding code chose is left as it is,
// since it may be shared with other data.
void prepareDirectory(const QString& dir) {
    const QFileInfo info(dir);
    if (!info.exists())
        PrivateFolder::make(dir);
    else if (info.isDir() && isDefault(dir) && (info.permissions() & groupOrOthers))
        QFile::setPermissions(dir, directoryPermissions);
}

// What an interrupted write leaves: a temporary file, or a snapshot whose report was never written
// (or was removed first, as a delivered report is).
void removeLeftover(const QFileInfo& entry, const QDateTime& now) {
    const bool temporary =
        entry.fileName().startsWith(QLatin1Char('.')) && entry.suffix() == QLatin1String("tmp");
    const bool orphan =
        entry.suffix() == QLatin1String("snapshot") &&
        !QFileInfo::exists(entry.dir().filePath(entry.completeBaseName() + QStringLiteral(".json")));
    if ((temporary || orphan) && entry.lastModified().secsTo(now) > leftoverAge.count())
        QFile::remove(entry.filePath());
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
    // Written like every entry: 0600 from the start, on disk before it appears. The claim is let go.
    if (!ClaimedFile::create(path, body))
        return std::nullopt;
    return path;
}

QString snapshotPath(const QString& reportPath) {
    const QFileInfo info(reportPath);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".snapshot"));
}

std::optional<OutboxEntry> create(const QByteArray& body, const std::optional<QByteArray>& snapshot) {
    const QString dir = directory();
    const std::optional<QJsonObject> report = OutboxEntry::decode(body);
    if (dir.isEmpty() || !report || body.size() > maxReportBytes)
        return std::nullopt;
    prepareDirectory(dir);
    const QString path = QDir(dir).filePath(canonicalUuid() + QStringLiteral(".json"));
    // A failed snapshot write still keeps the words; the caller has the picture in hand.
    if (snapshot && snapshot->size() <= maxSnapshotBytes)
        ClaimedFile::create(snapshotPath(path), *snapshot);
    std::optional<ClaimedFile> file = ClaimedFile::create(path, body);
    if (!file)
        return std::nullopt;
    return OutboxEntry(std::move(*file), body, *report);
}

std::variant<OutboxEntry, Refusal> claim(const QString& path) {
    auto claimed = ClaimedFile::claim(path, maxReportBytes);
    if (const ClaimedFile::Refusal* refusal = std::get_if<ClaimedFile::Refusal>(&claimed)) {
        switch (*refusal) {
        case ClaimedFile::Refusal::busy:
            return Refusal::busy;
        case ClaimedFile::Refusal::gone:
            return Refusal::gone;
        default:
            return Refusal::unreadable;
        }
    }
    ClaimedFile& file = std::get<ClaimedFile>(claimed);
    std::optional<QByteArray> bytes = file.read(maxReportBytes);
    if (!bytes)
        return Refusal::unreadable;
    std::optional<QJsonObject> report = OutboxEntry::decode(*bytes);
    if (!report)
        return Refusal::unreadable;
    return OutboxEntry(std::move(file), std::move(*bytes), std::move(*report));
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
        if (entry.suffix() != QLatin1String("json")) {
            removeLeftover(entry, now);
            continue;
        }
        QDateTime modified = entry.lastModified();
        if (!modified.isValid())
            modified = now;
        if (modified.msecsTo(now) > std::chrono::milliseconds(maxAge).count()) {
            remove(entry.filePath());
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
    if (!path)
        return;
    QFile::remove(*path);
    QFile::remove(snapshotPath(*path));
}

} // namespace FeedbackOutbox

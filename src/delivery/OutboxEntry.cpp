#include "OutboxEntry.h"

#include "FeedbackOutbox.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

std::optional<QJsonObject> OutboxEntry::decode(const QByteArray& bytes) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    QJsonObject report = document.object();
    const QJsonValue appKey = report.value(QLatin1String("app_key"));
    const QJsonValue id = report.value(QLatin1String("client_report_id"));
    if (!appKey.isString() || appKey.toString().isEmpty() || !id.isString() || id.toString().isEmpty())
        return std::nullopt;
    return report;
}

OutboxEntry::OutboxEntry(ClaimedFile file, QByteArray bytes, QJsonObject report)
    : file_(std::move(file))
    , bytes_(std::move(bytes))
    , report_(std::move(report)) {}

QString OutboxEntry::snapshotPath() const {
    return FeedbackOutbox::snapshotPath(path());
}

QString OutboxEntry::appKey() const {
    return report_.value(QLatin1String("app_key")).toString();
}

bool OutboxEntry::replace(const QJsonObject& report) {
    QByteArray bytes = QJsonDocument(report).toJson(QJsonDocument::Compact);
    if (!file_.replace(bytes))
        return false;
    bytes_ = std::move(bytes);
    report_ = report;
    return true;
}

bool OutboxEntry::storeSnapshot(const QByteArray& bytes) {
    // Written and moved into place like the report; the claim on the report guards it, so the
    // snapshot's own claim is let go at once.
    return ClaimedFile::create(snapshotPath(), bytes).has_value();
}

bool OutboxEntry::hasSnapshot() const {
    return QFileInfo(snapshotPath()).isFile();
}

std::optional<QByteArray> OutboxEntry::snapshot() const {
    auto claimed = ClaimedFile::claim(snapshotPath(), FeedbackOutbox::maxSnapshotBytes);
    if (ClaimedFile* file = std::get_if<ClaimedFile>(&claimed))
        return file->read(FeedbackOutbox::maxSnapshotBytes);
    return std::nullopt;
}

void OutboxEntry::dropSnapshot() {
    QFile::remove(snapshotPath());
}

void OutboxEntry::remove() && {
    // The report first: once it is gone the report is settled, and a snapshot left by an interrupted
    // removal is only a leftover that the listing clears later.
    const QString snapshot = snapshotPath();
    std::move(file_).remove();
    QFile::remove(snapshot);
}

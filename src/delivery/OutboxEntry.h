#pragma once

#include "morvik_delivery_export.h"

#include "ClaimedFile.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

// One report in the outbox, claimed by its holder: its stored bytes, what they say, and the snapshot
// that may wait beside it ("{UUID}.snapshot") to be uploaded before the report goes out. Releasing
// the entry (destroying it) leaves both files for a later flush.
class MORVIK_DELIVERY_EXPORT OutboxEntry {
public:
    // A stored report: a JSON object naming its application and carrying its identifier. Anything
    // else in the outbox is no report of ours.
    static std::optional<QJsonObject> decode(const QByteArray& bytes);

    OutboxEntry(ClaimedFile file, QByteArray bytes, QJsonObject report);

    const QString& path() const { return file_.path(); }
    QString snapshotPath() const;
    // Exactly the stored bytes, which are posted unchanged.
    const QByteArray& bytes() const { return bytes_; }
    const QJsonObject& report() const { return report_; }
    QString appKey() const;

    // Stores a new version of the report in place; its age still counts from the first save.
    bool replace(const QJsonObject& report);

    // Keeps the picture beside the report until it has been uploaded.
    bool storeSnapshot(const QByteArray& bytes);
    bool hasSnapshot() const;
    // The waiting picture; nothing when there is none or it cannot be read safely.
    std::optional<QByteArray> snapshot() const;
    void dropSnapshot();

    // Deletes the report and its snapshot, then releases the claim.
    void remove() &&;

private:
    ClaimedFile file_;
    QByteArray bytes_;
    QJsonObject report_;
};

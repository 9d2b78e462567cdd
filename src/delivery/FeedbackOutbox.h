#pragma once

#include "morvik_delivery_export.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>
#include <variant>

class OutboxEntry;

// The on-disk copies of reports that the feedback service has not accepted yet: one file per report,
// named "{UUID}.json", holding exactly the posted bytes. A file's modification time is its age.
//
// The files hold the user's words and e-mail address, so the outbox directory is created 0700 and
// every file 0600.
namespace FeedbackOutbox {

// Reports older than this are discarded unsent.
inline constexpr std::chrono::seconds maxAge{604800};
// A stored report larger than this is no report of ours (the words of a report are a few kilobytes);
// it is never read whole and is removed like any other unreadable entry.
inline constexpr qint64 maxReportBytes = 8 * 1024 * 1024;
// A snapshot waiting beside its report: the owner's picture as it was received.
inline constexpr qint64 maxSnapshotBytes = 96 * 1024 * 1024;
// Leftovers of an interrupted write (temporary files, a snapshot whose report was never written)
// are removed once they are this old.
inline constexpr std::chrono::seconds leftoverAge{3600};

// "FeedbackOutbox" in the user's XDG data directory unless replaced; empty when the platform has no
// per-user data location, which disables the outbox (nothing is saved, nothing is pending).
MORVIK_DELIVERY_EXPORT QString directory();
// Replaces the directory; absent restores the default.
MORVIK_DELIVERY_EXPORT void setDirectory(const std::optional<QString>& path);

// Writes the bytes atomically to a new file; the file's path, or nothing when writing failed.
MORVIK_DELIVERY_EXPORT std::optional<QString> save(const QByteArray& body);

// The report files still to be sent, sorted by file name; deletes the ones older than maxAge.
MORVIK_DELIVERY_EXPORT QStringList pending(const QDateTime& now);

// Deletes the file, and a snapshot stored beside it, when a path is given; errors are ignored.
MORVIK_DELIVERY_EXPORT void remove(const std::optional<QString>& path);

// Where a report's snapshot waits to be uploaded: "{UUID}.snapshot" beside "{UUID}.json".
MORVIK_DELIVERY_EXPORT QString snapshotPath(const QString& reportPath);

// A new report file named "{UUID}.json", claimed by the caller from before it becomes visible, so
// no flush (of this process or another) can take it while the caller still posts it. A snapshot to
// upload first is written beside it before the report appears. Nothing when the body is no report or
// the report cannot be written.
MORVIK_DELIVERY_EXPORT std::optional<OutboxEntry> create(const QByteArray& body,
                                                         const std::optional<QByteArray>& snapshot = {});

// Why an entry could not be taken.
enum class Refusal {
    busy,       // another flush or send holds it: leave it
    gone,       // delivered and removed meanwhile
    unreadable, // not a regular file, too large, not readable, or no report: remove it
};
// Claims a listed entry and reads its report; without following links, without blocking.
MORVIK_DELIVERY_EXPORT std::variant<OutboxEntry, Refusal> claim(const QString& path);

} // namespace FeedbackOutbox

#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

// The on-disk copies of reports that the feedback service has not accepted yet: one file per report,
// named "{UUID}.json", holding exactly the posted bytes. A file's modification time is its age.
//
// The files hold the user's words and e-mail address, so the outbox directory is created 0700 and
// every file 0600.
namespace FeedbackOutbox {

// Reports older than this are discarded unsent.
inline constexpr std::chrono::seconds maxAge{604800};

// "FeedbackOutbox" in the user's XDG data directory unless replaced; empty when the platform has no
// per-user data location, which disables the outbox (nothing is saved, nothing is pending).
QString directory();
// Replaces the directory; absent restores the default.
void setDirectory(const std::optional<QString>& path);

// Writes the bytes atomically to a new file; the file's path, or nothing when writing failed.
std::optional<QString> save(const QByteArray& body);

// The report files still to be sent, sorted by file name; deletes the ones older than maxAge.
QStringList pending(const QDateTime& now);

// Deletes the file when a path is given; errors are ignored.
void remove(const std::optional<QString>& path);

} // namespace FeedbackOutbox

#pragma once

#include "morvik_records_export.h"

#include "FailureRecordsState.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <optional>

// The store file on disk: read whole, written atomically. Folders it creates are private to the user
// (0700) and the file is too (0600): the records describe how the user uses the application.
//
// Several processes of one application share the file. Every change is made under a FileLock
// on a file beside it: re-read, merged, written, unlocked. Reading needs no lock, because a write replaces
// the file whole with a rename, so a reader sees either the old file or the new one.
class MORVIK_RECORDS_EXPORT RecordsStoreFile {
public:
    // Nothing when the file is missing, not a regular file (a symbolic link, a pipe, a device, a
    // folder), larger than any real store, or not a valid store. A valid store comes back with its
    // values checked as recorded values are (State::checked).
    static std::optional<FailureRecords::State> read(const QString& path);
    // Writes to a temporary file in the same folder and moves it into place, so a reader never sees
    // half a file, and a process killed at any moment leaves the old file or the new one. A symbolic
    // link at the path is replaced, never followed. False when any step failed; the old file then
    // stays as it was.
    static bool write(const QString& path, const QByteArray& bytes);
    // Successful writes in this run.
    static quint64 writeCount();

    // Far above what 50 entries and four stamps take; a larger file is not a store file.
    static constexpr qint64 maxBytes = 1024 * 1024;

private:
    static std::atomic<quint64> writes_;
};

#pragma once

#include "FailureRecordsState.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <optional>

// The store file on disk: read whole, written atomically. Folders it creates are private to the user
// (0700) and the file is too (0600): the records describe how the user uses the application.
//
// Several processes of one application share the file. Every change is made under RecordsFileLock
// (below): re-read, merged, written, unlocked. Reading needs no lock, because a write replaces the
// file whole with a rename, so a reader sees either the old file or the new one.
class RecordsStoreFile {
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

// An exclusive lock on a small file beside the store, shared by every process that uses the store.
// The kernel holds it for this open file (flock): it goes when the object goes, and when the process
// ends in any way, kill -9 included, so a crashed process never leaves a stale lock behind.
class RecordsFileLock {
public:
    enum class Status {
        held,        // this object holds the lock
        busy,        // another holder kept it for the whole wait
        unavailable, // no lock file could be made (an unwritable folder, a foreign folder in the way)
    };

    RecordsFileLock() = default;
    RecordsFileLock(RecordsFileLock&& other) noexcept;
    RecordsFileLock& operator=(RecordsFileLock&& other) noexcept;
    RecordsFileLock(const RecordsFileLock&) = delete;
    RecordsFileLock& operator=(const RecordsFileLock&) = delete;
    ~RecordsFileLock();

    // Takes the lock on the file at `path` (made as 0600 with its folders when missing), waiting at
    // most `wait` for another holder to let go; a zero wait tries once. Something other than a
    // regular file at the path (a symbolic link, a pipe) is removed and replaced first.
    static RecordsFileLock acquire(const QString& path, std::chrono::milliseconds wait);

    Status status() const { return status_; }
    bool held() const { return status_ == Status::held; }
    void release();

private:
    int fd_ = -1;
    Status status_ = Status::unavailable;
};

#pragma once

#include "morvik_platform_export.h"

#include <QString>

#include <chrono>

// An exclusive lock on a small file, shared by every process that uses what it guards (a store file
// beside it, say).
// The kernel holds it for this open file (flock): it goes when the object goes, and when the process
// ends in any way, kill -9 included, so a crashed process never leaves a stale lock behind.
class MORVIK_PLATFORM_EXPORT FileLock {
public:
    enum class Status {
        held,        // this object holds the lock
        busy,        // another holder kept it for the whole wait
        unavailable, // no lock file could be made (an unwritable folder, a foreign folder in the way)
    };

    FileLock() = default;
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

    // Takes the lock on the file at `path` (made as 0600 with its folders when missing), waiting at
    // most `wait` for another holder to let go; a zero wait tries once. Something other than a
    // regular file at the path (a symbolic link, a pipe) is removed and replaced first.
    static FileLock acquire(const QString& path, std::chrono::milliseconds wait);

    Status status() const { return status_; }
    bool held() const { return status_ == Status::held; }
    void release();

private:
    int fd_ = -1;
    Status status_ = Status::unavailable;
};

#pragma once

#include "morvik_platform_export.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <ctime>
#include <optional>
#include <variant>

// A regular file that this open file description holds an exclusive advisory lock on (flock), so that
// other processes, and other claims in this process, leave it alone until it is released. The kernel
// drops the lock when the process ends, however it ends, so a crashed holder never leaves a file stuck.
//
// Entries are opened without following symbolic links and without blocking (a FIFO or a device never
// stalls the caller), and only regular files within a size limit are accepted.
class MORVIK_PLATFORM_EXPORT ClaimedFile {
public:
    enum class Refusal {
        busy,       // claimed by someone else
        gone,       // no longer there, or replaced while it was being claimed
        notRegular, // a symbolic link, FIFO, socket, device or directory
        tooLarge,   // larger than the limit the caller gave
        unreadable, // any other error
    };

    // Claims an existing regular file of at most maxBytes.
    static std::variant<ClaimedFile, Refusal> claim(const QString& path, qint64 maxBytes);

    // Writes a new file 0600 under a private temporary name beside path, claims it, flushes it to
    // disk and moves it into place (replacing any file there). Nothing when any step fails; then no
    // file is left behind.
    static std::optional<ClaimedFile> create(const QString& path, const QByteArray& bytes);

    ClaimedFile(ClaimedFile&& other) noexcept;
    ClaimedFile& operator=(ClaimedFile&& other) noexcept;
    ClaimedFile(const ClaimedFile&) = delete;
    ClaimedFile& operator=(const ClaimedFile&) = delete;
    // Releases the claim; the file stays.
    ~ClaimedFile();

    const QString& path() const { return path_; }
    // The last modification time of the claimed file.
    QDateTime modified() const;
    // The whole content; nothing when it cannot be read or exceeds maxBytes.
    std::optional<QByteArray> read(qint64 maxBytes) const;
    // Puts new content in place atomically (as create does) and keeps the claim and the modification
    // time, so the file's age still counts from its first write.
    bool replace(const QByteArray& bytes);
    // Deletes the file while still holding the claim, then releases it.
    void remove() &&;

private:
    ClaimedFile(QString path, int fd)
        : path_(std::move(path))
        , fd_(fd) {}
    static std::optional<ClaimedFile> writeClaimed(const QString& path, const QByteArray& bytes,
                                                   const std::timespec* keepModified);
    void release();

    QString path_;
    int fd_ = -1;
};

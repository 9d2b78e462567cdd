#pragma once

#include "morvik_platform_export.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>

// Watches folders for files that were written and closed, or moved in (tools write a temporary file
// and rename it), and reports them in batches. A creation counts only for a file that already has
// content (linked into place whole, as QSaveFile does with an unnamed temporary file); a file just
// created empty is reported when it is closed. Names starting with "." are left out. A folder that does not
// exist yet is watched from its nearest existing ancestor and picked up once it (or a parent of it) is made;
// a folder that goes away is picked up again when it comes back. Linux: inotify, read through a socket
// notifier on the main thread. Main thread.
class MORVIK_PLATFORM_EXPORT FolderWatch : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds defaultBatching{300};

    explicit FolderWatch(QObject* parent = nullptr);
    ~FolderWatch() override;

    // Replaces the watched folders (cleaned absolute paths). Folders in both the old and the new list
    // keep their watch; nothing already reported is reported again.
    void setFolders(const QStringList& folders);
    QStringList folders() const;

    // How long notifications are collected before `filesArrived`; tests shorten it.
    void setBatching(std::chrono::milliseconds batching);

    // The folder itself when it exists, else its nearest existing ancestor (where a folder not made
    // yet is watched from).
    static QString nearestExistingFolder(const QString& folder);

    // False when the kernel refused an inotify instance (too many open): nothing will be reported.
    bool isWatching() const;

signals:
    // Full paths of files that arrived in a watched folder, in arrival order, without duplicates,
    // at most once per batching interval.
    void filesArrived(const QStringList& paths);
    // The first file of a batch has arrived; filesArrived follows when the batching interval is over.
    // For work worth starting early, while the batch collects.
    void batchStarted(const QString& firstPath);

private:
    struct State;
    std::unique_ptr<State> d_;
};

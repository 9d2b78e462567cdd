#pragma once

#include "morvik_records_export.h"

#include "FailureRecords.h"
#include "FileLock.h"
#include "RecordsStoreFile.h"

#include <QCoroTask>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QTimer;

// The records state that lives on the records queue: the in-memory copy of the store, the store file,
// the upload timer and flags, and this run's diagnostics bundle. Every member runs on the queue only,
// so none of them takes a lock; the queue's order is what keeps them consistent.
//
// Other processes of the application may share the store file. Every change of the file is made under
// the store's file lock, on the queue (never on a recording caller's thread): the file is read again,
// this process's unsaved changes are applied on top of it, and the result is written, so no process
// overwrites what another saved. The upload holds a second file lock for its whole run, so only one
// process at a time prepares, sends and settles a batch of one store.
class MORVIK_RECORDS_EXPORT RecordsEngine {
public:
    // The one engine; asserts that the caller is on the records queue.
    static RecordsEngine& onQueue();

    struct Failure {
        QString ts;
        QString event;
        QString feature;
        std::optional<QString> account;
        qint64 count = 1;
        QString code;
    };

    void record(const Failure& failure);
    void step(JourneyStep step, const std::optional<QString>& feature, FailureRecords::Time now);
    void start(FailureRecords::Time now);

    // The state as this process sees it: the store file as last read or written, with this process's
    // unsaved changes on top. Read from the file the first time (and after reset()).
    FailureRecords::State& load();
    // The same, read from the file again first: other processes may have changed it.
    FailureRecords::State& refresh();
    // Merges this process's unsaved changes into the store file now. True when the file holds them
    // (or when there is no file to hold them).
    bool save();
    // Saves once the work already posted to the queue has run, so a burst of recordings costs one
    // write rather than one per recording.
    void saveSoon();

    std::optional<QString> storeURL();
    void setStoreURL(std::optional<QString> path);

    // Forgets the in-memory state and the run's flags (after writing what is still unsaved), and
    // cancels the scheduled upload.
    void reset();

    // Arranges one upload after the delay unless one is arranged already.
    void scheduleLocked(std::chrono::milliseconds after);
    // The upload itself; runs on the queue, awaiting only objects of the queue's thread.
    QCoro::Task<bool> upload(FailureRecords::Time now);

    std::optional<QString> sessionBundle;
    bool sessionBundleTried = false;

    // How long a change waits for another process's hold on the store lock before it is kept in memory
    // and tried again later (or, for a batch, before the upload gives up).
    static constexpr std::chrono::milliseconds lockWait{2000};
    static constexpr std::chrono::milliseconds retryAfterBusy{1000};

private:
    // One change of the state, as a function that can be applied again on top of a newer state.
    using Change = std::function<void(FailureRecords::State&)>;
    enum class Commit {
        saved, // the file holds the change (or there is no file)
        kept,  // kept in memory; merged into the file by a later save
        busy,  // not made: the store lock stayed busy (only when the caller asked not to keep it)
    };

    struct Batch {
        QList<FailureRecords::Entry> events;
        QList<FailureRecords::JourneyPair> journey;
        QString uploadID;
    };

    RecordsEngine() = default;
    // Makes the change: applied to the in-memory state at once and saved soon.
    void change(Change change);
    // The same for one recorded failure.
    void changeByFailure(const Failure& failure);
    void clearUnsaved();
    // Under the store lock: reads the file, applies the unsaved changes and then `change` on top,
    // writes the result and takes it as the in-memory state. When the lock stays busy, the change is
    // kept in memory and tried again later, unless `keepWhenBusy` is false.
    Commit commit(const Change& change, bool keepWhenBusy);
    void retryLater();
    std::optional<Batch> prepareBatch(FailureRecords::Time now);
    bool finish(int status, const QList<FailureRecords::Entry>& sent, const QStringList& steps);
    void cancelTimer();
    // Runs the work on the application's main thread, later.
    void runOnMainThread(std::function<void()> work);

    std::optional<FailureRecords::State> cached_;
    std::optional<std::optional<QString>> storeURL_; // outer: computed yet
    // Changes the store file does not hold yet, oldest first; applied again on top of whatever the
    // file holds when they are saved, so changes other processes made meanwhile are kept.
    std::vector<Change> unsaved_;
    // The recordings of the last entry of unsaved_ while it is a run of recordings.
    std::shared_ptr<QList<Failure>> openFailures_;
    // The last write failed: the in-memory state is the truth until one succeeds.
    bool unwritable_ = false;
    bool saveQueued_ = false;
    bool retryArmed_ = false;

    bool scheduled_ = false;
    QTimer* timer_ = nullptr;
    bool uploading_ = false;
    // Held for the whole of an upload: one process at a time sends and settles a store file's batch.
    FileLock uploadLock_;
    // Changes with reset(), so an upload that outlives a reset does not touch the new run's flags.
    quint64 generation_ = 0;
};

#pragma once

#include "FailureRecords.h"

#include <QCoroTask>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

class QTimer;

// The records state that lives on the records queue: the in-memory copy of the store, the store file,
// the upload timer and flags, and this run's diagnostics bundle. Every member runs on the queue only,
// so none of them takes a lock; the queue's order is what keeps them consistent.
class RecordsEngine {
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

    // The in-memory state, read from the store file the first time (and after reset()).
    FailureRecords::State& load();
    // Writes the in-memory state to the store file now.
    void save();
    // Writes it once the work already posted to the queue has run, so a burst of recordings costs one
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

private:
    struct Batch {
        QList<FailureRecords::Entry> events;
        QList<FailureRecords::JourneyPair> journey;
        QString uploadID;
    };

    RecordsEngine() = default;
    std::optional<Batch> prepareBatch(FailureRecords::Time now);
    bool finish(int status, const QList<FailureRecords::Entry>& sent, const QStringList& steps);
    void cancelTimer();
    // Runs the work on the application's main thread, later.
    void runOnMainThread(std::function<void()> work);

    std::optional<FailureRecords::State> cached_;
    std::optional<std::optional<QString>> storeURL_; // outer: computed yet
    bool dirty_ = false;
    bool saveQueued_ = false;

    bool scheduled_ = false;
    QTimer* timer_ = nullptr;
    bool uploading_ = false;
    // Changes with reset(), so an upload that outlives a reset does not touch the new run's flags.
    quint64 generation_ = 0;
};

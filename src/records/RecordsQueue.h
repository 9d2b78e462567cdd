#pragma once

#include "morvik_records_export.h"

#include <QThread>

#include <functional>
#include <optional>
#include <type_traits>

#include "ThreadInbox.h"

class QObject;

// The serial records queue: one thread with its own event loop, timers and network manager. Work
// posted here runs one item at a time, in the order it was posted, so everything it touches needs no
// lock of its own.
class MORVIK_RECORDS_EXPORT RecordsQueue {
public:
    static constexpr const char* label = "com.velquist.dovarurevuz.records";

    // Created and started on first use; stopped when the application object goes away, after the
    // work posted before that has run.
    static RecordsQueue& shared();

    RecordsQueue(const RecordsQueue&) = delete;
    RecordsQueue& operator=(const RecordsQueue&) = delete;

    // Runs the work later on the queue and returns at once.
    void post(std::function<void()> work);

    // Runs the work on the queue and waits for it. Must not be called from the queue itself (that would
    // wait for ever): such a call stops the process.
    template <typename F> std::invoke_result_t<F> sync(F&& work) {
        using R = std::invoke_result_t<F>;
        if constexpr (std::is_void_v<R>) {
            runAndWait(std::function<void()>(std::forward<F>(work)));
        } else {
            std::optional<R> result;
            runAndWait([&result, &work] { result.emplace(work()); });
            // Empty only when the queue stopped before the work could run.
            return result ? std::move(*result) : R{};
        }
    }

    bool isCurrent() const;
    // An object living on the queue's thread: the parent of its timers.
    QObject* context() const;

    // Runs what was posted so far, then ends the thread; later posts are dropped.
    void stop();

private:
    RecordsQueue();
    ~RecordsQueue() = default;
    void runAndWait(std::function<void()> work);

    QThread thread_;
    QObject* context_ = nullptr; // lives on thread_
    ThreadInbox inbox_;
};

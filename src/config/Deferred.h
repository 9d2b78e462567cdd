#pragma once

#include "Feedback.h"

#include <QCoroFuture>
#include <QCoroTask>
#include <QFuture>
#include <QPromise>

#include <atomic>
#include <memory>
#include <mutex>

// Turns an operation that "returns later" through a completion callback into an awaitable task.
//
// The completion may be called on any thread and any number of times; the first call wins. The task
// resumes on the thread that awaits it (that thread runs a Qt event loop). When every copy of the
// completion is dropped without a call, the task resumes with a default-constructed value (for the
// optional results used here: nothing), so a hook that forgets to answer cannot hang its caller.
template <typename T> class Deferred {
public:
    using Start = std::function<void(Feedback::Completion<T>)>;

    static QCoro::Task<T> run(Start start) {
        auto box = std::make_shared<Box>();
        auto holder = std::make_shared<Holder>();
        holder->promise.start();
        QFuture<void> future = holder->promise.future();
        start([holder, box](T value) {
            if (holder->answered.exchange(true))
                return;
            {
                // The value crosses threads under a lock of our own: the ordering that finish() gives
                // through Qt's internals is invisible to ThreadSanitizer.
                std::lock_guard lock(box->mutex);
                box->value = std::move(value);
            }
            holder->promise.finish();
        });
        holder.reset();
        co_await qCoro(future).waitForFinished();
        std::lock_guard lock(box->mutex);
        co_return std::move(box->value);
    }

private:
    struct Box {
        std::mutex mutex;
        T value{};
    };
    struct Holder {
        QPromise<void> promise;
        std::atomic<bool> answered{false};
    };
};

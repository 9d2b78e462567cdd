#pragma once

#include <QCoroSignal>
#include <QCoroTask>
#include <QFuture>
#include <QFutureWatcher>
#include <QPromise>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <optional>

// Runs CPU-bound work (decoding a picture, for one) on Qt's global thread pool, so that the event
// loop of the awaiting thread keeps running meanwhile. The awaiting coroutine resumes on its own
// thread, and always from that thread's event loop, never before its caller has got control back,
// however quickly the work ends: the watcher lives on the awaiting thread and reports the end as a
// posted event. Absent only when the pool dropped the work unrun.
template <typename Result> QCoro::Task<std::optional<Result>> onWorkerThread(std::function<Result()> work) {
    auto promise = std::make_shared<QPromise<Result>>();
    QFuture<Result> future = promise->future();
    promise->start();
    QFutureWatcher<Result> watcher;
    watcher.setFuture(future);
    QThreadPool::globalInstance()->start([promise, work = std::move(work)] {
        promise->addResult(work());
        promise->finish();
    });
    co_await qCoro(&watcher, &QFutureWatcherBase::finished);
    if (future.resultCount() == 0)
        co_return std::nullopt;
    co_return future.result();
}

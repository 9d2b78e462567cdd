#pragma once

#include <QCoroTask>

#include <functional>
#include <type_traits>
#include <utility>

// Bridges a coroutine to a caller that cannot co_await: the task runs on, and the callback gets its
// result once, on the thread that started it. The callback may be empty.
namespace PlainEntry {

namespace detail {
// The task and the callback are owned by this coroutine's frame, so neither depends on the caller's
// temporaries (QCoro's Task::then keeps a pointer to the task it was called on).
template <typename T> QCoro::Task<> forward(QCoro::Task<T> task, std::function<void(T)> done) {
    T value = co_await task;
    if (done)
        done(std::move(value));
}

inline QCoro::Task<> forward(QCoro::Task<> task, std::function<void()> done) {
    co_await task;
    if (done)
        done();
}
} // namespace detail

template <typename T> void run(QCoro::Task<T>&& task, std::type_identity_t<std::function<void(T)>> done) {
    detail::forward(std::move(task), std::move(done));
}

inline void run(QCoro::Task<>&& task, std::function<void()> done) {
    detail::forward(std::move(task), std::move(done));
}

} // namespace PlainEntry

#pragma once

#include "Deferred.h"

#include <QCoroTask>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// Turns an operation that answers through a completion, on any thread, into an awaitable that resumes
// on the awaiting thread: Deferred, with the answer itself handed over under a std::mutex.
//
// Deferred hands its value over through the future's lock inside Qt, which ThreadSanitizer cannot see;
// here Deferred only wakes the awaiting coroutine (an empty value, nothing to hand over) and the answer
// travels under a lock the tool sees. The first answer wins; with none at all, the result is T{}.
template <typename T> class HandOver {
public:
    using Start = std::function<void(Feedback::Completion<T>)>;

    static QCoro::Task<T> run(Start start) {
        auto slot = std::make_shared<Slot>();
        co_await Deferred<Woken>::run([&start, slot](Feedback::Completion<Woken> wake) {
            start([slot, wake](T value) {
                {
                    std::lock_guard lock(slot->mutex);
                    if (slot->value)
                        return;
                    slot->value.emplace(std::move(value));
                }
                wake({});
            });
        });
        std::optional<T> value;
        {
            std::lock_guard lock(slot->mutex);
            value = std::move(slot->value);
        }
        co_return value ? std::move(*value) : T{};
    }

private:
    // Carries nothing: assigning or returning it touches no memory.
    struct Woken {};
    struct Slot {
        std::mutex mutex;
        std::optional<T> value;
    };
};

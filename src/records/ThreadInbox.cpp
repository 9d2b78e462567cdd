#include "ThreadInbox.h"

#include <utility>

ThreadInbox::ThreadInbox(std::function<void()> wake)
    : wake_(std::move(wake)) {}

bool ThreadInbox::post(std::function<void()> work) {
    // The wake-up is posted under the lock, so close() cannot slip in between the decision and the
    // wake-up.
    std::lock_guard lock(mutex_);
    if (closed_)
        return false;
    work_.push_back(std::move(work));
    if (!std::exchange(wakePending_, true))
        wake_();
    return true;
}

void ThreadInbox::close() {
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        dropped.swap(work_);
    }
    // Dropped work is destroyed outside the lock: its captures may post again.
}

void ThreadInbox::drain() {
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(work_);
        wakePending_ = false;
    }
    for (auto& work : batch)
        work();
}

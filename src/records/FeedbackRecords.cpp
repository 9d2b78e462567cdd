#include "FeedbackRecords.h"

#include <atomic>
#include <mutex>

namespace Feedback {
namespace {

std::atomic<bool> enabled{true};
std::atomic<bool> successTracked{false};

std::mutex& countsMutex() {
    static std::mutex mutex;
    return mutex;
}

RecordCounts& countsHook() {
    static RecordCounts hook;
    return hook;
}

} // namespace

bool recordsEnabled() {
    return enabled.load(std::memory_order_relaxed);
}
void setRecordsEnabled(bool value) {
    enabled.store(value, std::memory_order_relaxed);
}
bool tracksSuccess() {
    return successTracked.load(std::memory_order_relaxed);
}
void setTracksSuccess(bool value) {
    successTracked.store(value, std::memory_order_relaxed);
}

RecordCounts recordCounts() {
    std::lock_guard lock(countsMutex());
    return countsHook();
}

void setRecordCounts(RecordCounts hook) {
    RecordCounts previous;
    {
        std::lock_guard lock(countsMutex());
        previous = std::exchange(countsHook(), std::move(hook));
    }
    // The old hook (and what it captured) goes away outside the lock.
}

void recordFailure(const QString& feature, const std::optional<QString>& reason,
                   const std::optional<FailureRecords::RecordedError>& error, const QString& event,
                   const std::optional<QString>& account, qint64 count) {
    if (!recordsEnabled())
        return;
    const QString code = reason ? FailureRecords::sanitize(*reason) : FailureRecords::code(error);
    FailureRecords::record(event, feature, account, count, code, FailureRecords::now());
}

void startRecords() {
    FailureRecords::start(FailureRecords::now());
}

} // namespace Feedback

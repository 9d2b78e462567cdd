#include "FeedbackSession.h"

#include "NetworkSession.h"

#include <mutex>

namespace Feedback {
namespace {

std::mutex& sessionMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<HttpSession>& current() {
    static std::shared_ptr<HttpSession> value;
    return value;
}

} // namespace

std::shared_ptr<HttpSession> session() {
    std::lock_guard lock(sessionMutex());
    if (!current())
        current() = std::make_shared<NetworkSession>();
    return current();
}

void setSession(std::shared_ptr<HttpSession> value) {
    std::lock_guard lock(sessionMutex());
    current() = std::move(value);
}

} // namespace Feedback

#include "FeedbackLogging.h"

#include "Feedback.h"

#include <atomic>
#include <cstring>
#include <mutex>

// Info and above by default: debug lines are narration that rules switch on.
Q_LOGGING_CATEGORY(lcFeedbackHost, "morvik.feedback.host", QtInfoMsg)
Q_LOGGING_CATEGORY(lcFeedbackComposer, "morvik.feedback.composer", QtInfoMsg)
Q_LOGGING_CATEGORY(lcFeedbackDelivery, "morvik.feedback.delivery", QtInfoMsg)
Q_LOGGING_CATEGORY(lcFeedbackRecords, "morvik.feedback.records", QtInfoMsg)
Q_LOGGING_CATEGORY(lcFeedbackOffers, "morvik.feedback.offers", QtInfoMsg)

namespace FeedbackLogging {
namespace {

std::atomic<QtMessageHandler> previous{nullptr};

bool isOurs(const char* category) {
    return category && std::strncmp(category, "morvik.feedback.", 16) == 0;
}

void forward(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (isOurs(context.category)) {
        if (const Feedback::LogHandler handler = Feedback::logHandler()) {
            handler(message);
            return;
        }
    }
    if (const QtMessageHandler next = previous.load())
        next(type, context, message);
}

} // namespace

void forwardToLogHandler() {
    static std::once_flag once;
    std::call_once(once, [] { previous.store(qInstallMessageHandler(forward)); });
}

} // namespace FeedbackLogging

#include "DeliveryOutboxFlusher.h"

#include "FeedbackReport.h"

QCoro::Task<int> DeliveryOutboxFlusher::flush() {
    co_return co_await Feedback::flushOutbox();
}

extern "C" MORVIK_HOST_DELIVERY_EXPORT OutboxFlusher* morvik_create_outbox_flusher() {
    return new DeliveryOutboxFlusher;
}

#include "DeliveryOutboxFlusher.h"

#include "FeedbackReport.h"

QCoro::Task<int> DeliveryOutboxFlusher::flush() {
    co_return co_await Feedback::flushOutbox();
}

extern "C" OutboxFlusher* morvik_create_outbox_flusher() {
    return new DeliveryOutboxFlusher;
}

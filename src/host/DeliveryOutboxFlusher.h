#pragma once

#include "OutboxFlusher.h"

// Flushes through the delivery subsystem; what libmorvik_host_delivery.so hands the helper.
class DeliveryOutboxFlusher : public OutboxFlusher {
public:
    QCoro::Task<int> flush() override;
};

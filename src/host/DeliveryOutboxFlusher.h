#pragma once

#include "morvik_host_delivery_export.h"

#include "OutboxFlusher.h"

// Flushes through the delivery subsystem; what libmorvik_host_delivery.so hands the helper.
class MORVIK_HOST_DELIVERY_EXPORT DeliveryOutboxFlusher : public OutboxFlusher {
public:
    QCoro::Task<int> flush() override;
};

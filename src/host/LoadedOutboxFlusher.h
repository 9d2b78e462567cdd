#pragma once

#include "morvik_host_export.h"

#include "OnDemandLibrary.h"
#include "OutboxFlusher.h"

#include <memory>

// The helper's outbox: delivery and the network stack live in a library of their own that is loaded
// the first time the owner asks for a flush.
class MORVIK_HOST_EXPORT LoadedOutboxFlusher : public OutboxFlusher {
public:
    QCoro::Task<int> flush() override;

private:
    OnDemandLibrary library_{QStringLiteral("libmorvik_host_delivery.so"), "morvik_create_outbox_flusher"};
    std::unique_ptr<OutboxFlusher> loaded_;
};

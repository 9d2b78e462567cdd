#pragma once

#include "morvik_host_export.h"

#include <QCoroTask>

// Sends what waits in the outbox, for the host's flush command; resumes with how many reports went.
class MORVIK_HOST_EXPORT OutboxFlusher {
public:
    virtual ~OutboxFlusher() = default;
    virtual QCoro::Task<int> flush() = 0;
};

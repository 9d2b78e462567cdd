#pragma once

#include <QCoroTask>

// Sends what waits in the outbox, for the host's flush command; resumes with how many reports went.
class OutboxFlusher {
public:
    virtual ~OutboxFlusher() = default;
    virtual QCoro::Task<int> flush() = 0;
};

#include "LoadedOutboxFlusher.h"

QCoro::Task<int> LoadedOutboxFlusher::flush() {
    if (!loaded_)
        loaded_ = library_.create<OutboxFlusher>();
    if (!loaded_)
        co_return 0;
    co_return co_await loaded_->flush();
}

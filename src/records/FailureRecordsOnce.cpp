#include "FailureRecordsOnce.h"

namespace FailureRecords {

bool Once::claim() {
    std::lock_guard guard(lock_);
    if (done_)
        return false;
    done_ = true;
    return true;
}

} // namespace FailureRecords

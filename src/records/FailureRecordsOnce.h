#pragma once

#include "morvik_records_export.h"

#include <mutex>

namespace FailureRecords {

// Lets exactly one of several racing parties win: only the first claim() returns true.
class MORVIK_RECORDS_EXPORT Once {
public:
    bool claim();

private:
    std::mutex lock_;
    bool done_ = false;
};

} // namespace FailureRecords

#pragma once

#include <mutex>

namespace FailureRecords {

// Lets exactly one of several racing parties win: only the first claim() returns true.
class Once {
public:
    bool claim();

private:
    std::mutex lock_;
    bool done_ = false;
};

} // namespace FailureRecords

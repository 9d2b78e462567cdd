#pragma once

#include "morvik_platform_export.h"

#include <QString>

#include <cstdint>

// Facts about this process and the machine it runs on.
class MORVIK_PLATFORM_EXPORT ProcessFacts {
public:
    static std::int32_t parentProcessId();
    // Resident set size in bytes, or 0 when it cannot be read.
    static std::uint64_t residentBytes(std::int64_t pid = 0);
};

#pragma once

#include "morvik_host_export.h"

// Starts a background refresh of the reward wording and returns at once.
class MORVIK_HOST_EXPORT RewardsRefresher {
public:
    virtual ~RewardsRefresher() = default;
    virtual void refresh() = 0;
};

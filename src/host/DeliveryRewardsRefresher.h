#pragma once

#include "RewardsRefresher.h"

// The reward refresh of the delivery library, for the helper to load on demand.
class DeliveryRewardsRefresher : public RewardsRefresher {
public:
    void refresh() override;
};

#pragma once

#include "morvik_host_delivery_export.h"

#include "RewardsRefresher.h"

// The reward refresh of the delivery library, for the helper to load on demand.
class MORVIK_HOST_DELIVERY_EXPORT DeliveryRewardsRefresher : public RewardsRefresher {
public:
    void refresh() override;
};

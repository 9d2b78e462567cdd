#include "DeliveryRewardsRefresher.h"

#include "FeedbackRewards.h"

void DeliveryRewardsRefresher::refresh() {
    Feedback::refreshRewards();
}

// The entry point the helper resolves after loading this library for its first reward refresh.
extern "C" MORVIK_HOST_DELIVERY_EXPORT RewardsRefresher* morvik_create_rewards_refresher() {
    return new DeliveryRewardsRefresher;
}

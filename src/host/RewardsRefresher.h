#pragma once

// Starts a background refresh of the reward wording and returns at once.
class RewardsRefresher {
public:
    virtual ~RewardsRefresher() = default;
    virtual void refresh() = 0;
};

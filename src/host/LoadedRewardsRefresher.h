#pragma once

#include "morvik_host_export.h"

#include "OnDemandLibrary.h"
#include "RewardsRefresher.h"

#include <QObject>

#include <chrono>
#include <memory>

// The helper's reward refresh: the network stack lives in the delivery library. The refresh waits a
// moment after it is asked for, so that the owner's start-up (which sends the configuration) does not
// also pay for loading it; requests meanwhile come to one refresh.
class MORVIK_HOST_EXPORT LoadedRewardsRefresher : public RewardsRefresher {
public:
    static constexpr std::chrono::milliseconds defaultDelay{2000};

    explicit LoadedRewardsRefresher(std::chrono::milliseconds delay = defaultDelay);
    void refresh() override;

private:
    std::chrono::milliseconds delay_;
    bool scheduled_ = false;
    QObject timers_;
    OnDemandLibrary library_{QStringLiteral("libmorvik_host_delivery.so"), "morvik_create_rewards_refresher"};
    std::unique_ptr<RewardsRefresher> loaded_;
};

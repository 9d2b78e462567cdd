#pragma once

#include "morvik_delivery_export.h"

#include "Rewards.h"

#include <QCoroTask>
#include <QString>
#include <QUrl>

#include <functional>

// The reward wording: fetched from the feedback service, cached per application key in the preference
// store, read without waiting.
namespace Feedback {

// The base URL with "/rewards".
MORVIK_DELIVERY_EXPORT QUrl rewardsEndpoint();
// "velquist.fb.rewards." followed by the current application key.
MORVIK_DELIVERY_EXPORT QString rewardsCacheKey();

// The stored wording of the current application key, or the built-in set when nothing usable is
// stored. Reads the preference store on every call; never fails, never waits.
MORVIK_DELIVERY_EXPORT Rewards rewards();

// Fetches the wording ("app" query, DeliveryTimings::rewardsTimeout) and stores the answer byte for
// byte when it is exactly a 200 that decodes. Every failure is silent and leaves the store alone.
// Does nothing while the application key is empty.
MORVIK_DELIVERY_EXPORT QCoro::Task<> refreshRewardsTask();
// Starts the refresh and returns at once; `done` (optional) is called when it has finished.
MORVIK_DELIVERY_EXPORT void refreshRewards(std::function<void()> done = {});

} // namespace Feedback

#pragma once

#include "Rewards.h"

#include <QCoroTask>
#include <QString>
#include <QUrl>

#include <functional>

// The reward wording: fetched from the feedback service, cached per application key in the preference
// store, read without waiting.
namespace Feedback {

// The base URL with "/rewards".
QUrl rewardsEndpoint();
// "velquist.fb.rewards." followed by the current application key.
QString rewardsCacheKey();

// The stored wording of the current application key, or the built-in set when nothing usable is
// stored. Reads the preference store on every call; never fails, never waits.
Rewards rewards();

// Fetches the wording ("app" query, DeliveryTimings::rewardsTimeout) and stores the answer byte for
// byte when it is exactly a 200 that decodes. Every failure is silent and leaves the store alone.
// Does nothing while the application key is empty.
QCoro::Task<> refreshRewardsTask();
// Starts the refresh and returns at once; `done` (optional) is called when it has finished.
void refreshRewards(std::function<void()> done = {});

} // namespace Feedback

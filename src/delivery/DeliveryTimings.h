#pragma once

#include "morvik_delivery_export.h"

#include <chrono>

// The fixed durations of report delivery. They are process-wide and may be shortened (tests do).
namespace DeliveryTimings {

using Duration = std::chrono::milliseconds;

inline constexpr Duration defaultReportTimeout{std::chrono::seconds(60)};
inline constexpr Duration defaultScreenshotTimeout{std::chrono::seconds(45)};
inline constexpr Duration defaultScreenshotRetryDelay{std::chrono::milliseconds(700)};
inline constexpr Duration defaultRewardsTimeout{std::chrono::seconds(8)};

// Longest silence on a report post before it counts as failed.
MORVIK_DELIVERY_EXPORT Duration reportTimeout();
MORVIK_DELIVERY_EXPORT void setReportTimeout(Duration value);
// Longest silence on a snapshot upload.
MORVIK_DELIVERY_EXPORT Duration screenshotTimeout();
MORVIK_DELIVERY_EXPORT void setScreenshotTimeout(Duration value);
// Pause before the one retry of a snapshot upload that failed for a passing reason.
MORVIK_DELIVERY_EXPORT Duration screenshotRetryDelay();
MORVIK_DELIVERY_EXPORT void setScreenshotRetryDelay(Duration value);
// Longest silence on the reward wording request.
MORVIK_DELIVERY_EXPORT Duration rewardsTimeout();
MORVIK_DELIVERY_EXPORT void setRewardsTimeout(Duration value);

// Back to the defaults above.
MORVIK_DELIVERY_EXPORT void reset();

} // namespace DeliveryTimings

#pragma once

#include <chrono>

// The fixed durations of report delivery. They are process-wide and may be shortened (tests do).
namespace DeliveryTimings {

using Duration = std::chrono::milliseconds;

inline constexpr Duration defaultReportTimeout{std::chrono::seconds(60)};
inline constexpr Duration defaultScreenshotTimeout{std::chrono::seconds(45)};
inline constexpr Duration defaultScreenshotRetryDelay{std::chrono::milliseconds(700)};
inline constexpr Duration defaultRewardsTimeout{std::chrono::seconds(8)};

// Longest silence on a report post before it counts as failed.
Duration reportTimeout();
void setReportTimeout(Duration value);
// Longest silence on a snapshot upload.
Duration screenshotTimeout();
void setScreenshotTimeout(Duration value);
// Pause before the one retry of a snapshot upload that failed for a passing reason.
Duration screenshotRetryDelay();
void setScreenshotRetryDelay(Duration value);
// Longest silence on the reward wording request.
Duration rewardsTimeout();
void setRewardsTimeout(Duration value);

// Back to the defaults above.
void reset();

} // namespace DeliveryTimings

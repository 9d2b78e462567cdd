#include "DeliveryTimings.h"

#include <atomic>

namespace DeliveryTimings {
namespace {

// Durations are read from background work while a test or the host may set them.
std::atomic<Duration::rep> reportMs{defaultReportTimeout.count()};
std::atomic<Duration::rep> screenshotMs{defaultScreenshotTimeout.count()};
std::atomic<Duration::rep> retryMs{defaultScreenshotRetryDelay.count()};
std::atomic<Duration::rep> rewardsMs{defaultRewardsTimeout.count()};

} // namespace

Duration reportTimeout() {
    return Duration(reportMs.load());
}
void setReportTimeout(Duration value) {
    reportMs = value.count();
}
Duration screenshotTimeout() {
    return Duration(screenshotMs.load());
}
void setScreenshotTimeout(Duration value) {
    screenshotMs = value.count();
}
Duration screenshotRetryDelay() {
    return Duration(retryMs.load());
}
void setScreenshotRetryDelay(Duration value) {
    retryMs = value.count();
}
Duration rewardsTimeout() {
    return Duration(rewardsMs.load());
}
void setRewardsTimeout(Duration value) {
    rewardsMs = value.count();
}

void reset() {
    reportMs = defaultReportTimeout.count();
    screenshotMs = defaultScreenshotTimeout.count();
    retryMs = defaultScreenshotRetryDelay.count();
    rewardsMs = defaultRewardsTimeout.count();
}

} // namespace DeliveryTimings

#include "LoadedRewardsRefresher.h"

#include <QTimer>

LoadedRewardsRefresher::LoadedRewardsRefresher(std::chrono::milliseconds delay)
    : delay_(delay) {}

void LoadedRewardsRefresher::refresh() {
    if (scheduled_)
        return;
    scheduled_ = true;
    QTimer::singleShot(delay_, &timers_, [this] {
        scheduled_ = false;
        if (!loaded_)
            loaded_ = library_.create<RewardsRefresher>();
        if (loaded_)
            loaded_->refresh();
    });
}

#pragma once

#include "morvik_host_export.h"

#include "OfferReporter.h"

#include <memory>

class BannerPresenter;
class ComposerPresenter;
class RewardsRefresher;

// The host's offers: the process's FeedbackReporter and its screenshot watcher, showing the banner,
// the composer and the reward refresh through the parts the helper loads on demand.
class MORVIK_HOST_EXPORT SharedOfferReporter : public OfferReporter {
public:
    SharedOfferReporter(std::shared_ptr<ComposerPresenter> composer, std::shared_ptr<BannerPresenter> banner,
                        std::shared_ptr<RewardsRefresher> rewards);

    void setOwnerProcess(std::optional<std::int32_t> pid) override;
    void setOwnerResigned(std::function<void()> callback) override;
    void activate() override;
    void dismiss(const QString& reason) override;
};

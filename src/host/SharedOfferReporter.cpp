#include "SharedOfferReporter.h"

#include "BannerPresenter.h"
#include "ComposerPresenter.h"
#include "FeedbackReporter.h"
#include "RewardsRefresher.h"

SharedOfferReporter::SharedOfferReporter(std::shared_ptr<ComposerPresenter> composer,
                                         std::shared_ptr<BannerPresenter> banner,
                                         std::shared_ptr<RewardsRefresher> rewards) {
    FeedbackReporter::Surfaces surfaces;
    if (banner) {
        surfaces.prepareBanner = [banner] { banner->prepare(); };
        surfaces.showBanner = [banner] { banner->show(); };
        surfaces.hideBanner = [banner] { banner->hide(); };
        surfaces.captureAnchorWindow = [banner] { return banner->captureAnchorWindow(); };
    }
    if (composer) {
        surfaces.composerIsOpen = [composer] { return composer->isOpen(); };
        surfaces.presentComposer = [composer](FeedbackIntent intent, std::optional<QByteArray> snapshot) {
            composer->present(intent, std::move(snapshot));
        };
        surfaces.composerSession = [composer] { return composer->session(); };
    }
    if (rewards)
        surfaces.refreshRewards = [rewards] { rewards->refresh(); };
    FeedbackReporter::shared().setSurfaces(std::move(surfaces));
}

void SharedOfferReporter::setOwnerProcess(std::optional<std::int32_t> pid) {
    FeedbackReporter::shared().watcher().setOwnerPID(pid);
}

void SharedOfferReporter::setOwnerResigned(std::function<void()> callback) {
    FeedbackReporter::shared().watcher().setOnOwnerResigned(std::move(callback));
}

void SharedOfferReporter::activate() {
    FeedbackReporter::activate();
}

void SharedOfferReporter::dismiss(const QString& reason) {
    FeedbackReporter::shared().dismiss(reason);
}

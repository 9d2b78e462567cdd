#include "LoadedBannerPresenter.h"

#include "FeedbackExternalHost.h"

void LoadedBannerPresenter::show() {
    load();
    if (loaded_)
        loaded_->show();
}

void LoadedBannerPresenter::prepare() {
    load();
    if (loaded_)
        loaded_->prepare();
}

void LoadedBannerPresenter::load() {
    if (loaded_)
        return;
    FeedbackExternalHost::enableAccessibility();
    loaded_ = library_.create<BannerPresenter>();
}

void LoadedBannerPresenter::hide() {
    // Nothing to hide before the first banner.
    if (loaded_)
        loaded_->hide();
}

std::optional<QByteArray> LoadedBannerPresenter::captureAnchorWindow() {
    // Before the windows library is loaded there is no window of ours to take a picture of.
    return loaded_ ? loaded_->captureAnchorWindow() : std::nullopt;
}

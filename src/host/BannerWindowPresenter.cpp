#include "BannerWindowPresenter.h"

#include "FeedbackBannerPanel.h"
#include "FeedbackWindowSnapshot.h"

#include <QQuickWindow>

void BannerWindowPresenter::show() {
    FeedbackBannerPanel::shared().show();
}

void BannerWindowPresenter::prepare() {
    FeedbackBannerPanel::shared().prepare();
}

void BannerWindowPresenter::hide() {
    FeedbackBannerPanel::shared().hide();
}

std::optional<QByteArray> BannerWindowPresenter::captureAnchorWindow() {
    auto* window = qobject_cast<QQuickWindow*>(FeedbackBannerPanel::anchorWindow());
    if (!window)
        return std::nullopt;
    return Feedback::captureWindowSnapshot(window);
}

// The entry point the helper resolves after loading this library for its first banner.
extern "C" MORVIK_HOST_WINDOWS_EXPORT BannerPresenter* morvik_create_banner_presenter() {
    return new BannerWindowPresenter;
}

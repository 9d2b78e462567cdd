#pragma once

#include "morvik_host_windows_export.h"

#include "BannerPresenter.h"

// The host's offer banner is the shared banner panel.
class MORVIK_HOST_WINDOWS_EXPORT BannerWindowPresenter : public BannerPresenter {
public:
    void show() override;
    void prepare() override;
    void hide() override;
    // A picture of the panel's anchor window when it is a Qt Quick window.
    std::optional<QByteArray> captureAnchorWindow() override;
};

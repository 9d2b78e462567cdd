#pragma once

#include "BannerPresenter.h"

// The host's offer banner is the shared banner panel.
class BannerWindowPresenter : public BannerPresenter {
public:
    void show() override;
    void prepare() override;
    void hide() override;
    // A picture of the panel's anchor window when it is a Qt Quick window.
    std::optional<QByteArray> captureAnchorWindow() override;
};

#pragma once

#include "morvik_host_export.h"

#include "BannerPresenter.h"
#include "OnDemandLibrary.h"

#include <memory>

// The helper's offer banner: its window and Qt Quick live in the windows library, loaded the first
// time a banner is shown.
class MORVIK_HOST_EXPORT LoadedBannerPresenter : public BannerPresenter {
public:
    void show() override;
    void prepare() override;
    void hide() override;
    std::optional<QByteArray> captureAnchorWindow() override;

private:
    void load();

    OnDemandLibrary library_{QStringLiteral("libmorvik_host_windows.so"), "morvik_create_banner_presenter"};
    std::unique_ptr<BannerPresenter> loaded_;
};

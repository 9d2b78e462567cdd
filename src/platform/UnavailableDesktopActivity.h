#pragma once

#include "morvik_platform_export.h"

#include "DesktopActivity.h"

// Activity where there is no window system to follow: nothing is ever active, nothing changes.
class MORVIK_PLATFORM_EXPORT UnavailableDesktopActivity : public DesktopActivity {
    Q_OBJECT
public:
    using DesktopActivity::DesktopActivity;
    std::optional<std::int32_t> activeProcess() const override;
};

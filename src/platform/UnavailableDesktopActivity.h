#pragma once

#include "DesktopActivity.h"

// Activity where there is no window system to follow: nothing is ever active, nothing changes.
class UnavailableDesktopActivity : public DesktopActivity {
    Q_OBJECT
public:
    using DesktopActivity::DesktopActivity;
    std::optional<std::int32_t> activeProcess() const override;
};

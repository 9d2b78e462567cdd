#pragma once

#include "morvik_platform_export.h"

#include "DesktopWindows.h"

// Desktop windows where there is no window system to ask (no display, or a display server whose
// windows are not visible to other clients): no list, no activation, no active process.
class MORVIK_PLATFORM_EXPORT UnavailableDesktopWindows : public DesktopWindows {
public:
    std::optional<QList<DesktopWindow>> windowList() override;
    bool activateProcess(std::int32_t pid) override;
    std::optional<std::int32_t> activeProcess() override;
};

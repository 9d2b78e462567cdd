#pragma once

#include "morvik_platform_export.h"

#include "NonActivatingWindow.h"

// Window systems we cannot tell anything (no X11 display): the window's flags are all there is.
class MORVIK_PLATFORM_EXPORT UnavailableNonActivatingWindow : public NonActivatingWindow {
public:
    bool refuseFocus(std::uint64_t nativeWindow) override;
    bool setInputRegion(std::uint64_t nativeWindow, const QList<QRect>& rectangles) override;
    bool setVisibleRegion(std::uint64_t nativeWindow, const QList<QRect>& rectangles) override;
    bool compositing() override;
};

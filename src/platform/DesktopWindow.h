#pragma once

#include "morvik_platform_export.h"

#include <QRect>

#include <cstdint>
#include <optional>

// One on-screen application window as the window list reports it. The values come from another
// program's window properties, so the optional ones are absent when that program does not say.
struct MORVIK_PLATFORM_EXPORT DesktopWindow {
    // The process that owns the window.
    std::optional<std::int32_t> pid;
    // 0 normal, 3 kept above, 20 and more for docks, panels and notifications (DesktopWindows' layers).
    int layer = 0;
    // 0..1; absent when the window sets no opacity.
    std::optional<double> alpha;
    // The frame in root coordinates, in device pixels, origin at the top left of the primary screen,
    // y growing downwards.
    QRect bounds;
    // The window system's id of the window (an X11 window), for relating a window of ours to it.
    std::uint64_t nativeId = 0;

    bool operator==(const DesktopWindow&) const = default;
};

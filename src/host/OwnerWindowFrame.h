#pragma once

#include "morvik_host_export.h"

#include "DesktopWindow.h"

#include <QList>
#include <QRectF>

#include <cstdint>
#include <optional>

// Where the owner's front window is on screen, for placing things over it. Rectangles here have their
// origin at the bottom left of the primary screen with y growing upwards (the placement rules are
// written that way); the window list has its origin at the top left.
namespace FeedbackExternalHost {

// Owner windows smaller than this are utility windows and palettes, passed over.
inline constexpr double minimumOwnerWindowWidth = 280;
inline constexpr double minimumOwnerWindowHeight = 120;

// The owner's front window: the first entry of the window list (front-most first) that belongs to
// the owner, is a normal window, is not fully transparent and is at least the minimum size. Entries
// that name no process are never the owner's.
MORVIK_HOST_EXPORT std::optional<DesktopWindow> frontWindow(const QList<DesktopWindow>& windows,
                                                            std::int32_t ownerPID);

// The front window's frame flipped to the bottom-left origin.
MORVIK_HOST_EXPORT std::optional<QRectF> frontWindowFrame(const QList<DesktopWindow>& windows,
                                                          std::int32_t ownerPID, double primaryScreenHeight);

// frontWindowFrame over the desktop's window list, for the owner process and the first screen.
// Nothing when there is no owner, no window list or no matching window. Main thread.
MORVIK_HOST_EXPORT std::optional<QRectF> ownerWindowFrame();

// The window system's id of the owner's front window, for making our dialogs its own. Main thread.
MORVIK_HOST_EXPORT std::optional<std::uint64_t> ownerFrontWindowId();

} // namespace FeedbackExternalHost

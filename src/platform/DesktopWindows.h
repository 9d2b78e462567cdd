#pragma once

#include "morvik_platform_export.h"

#include "DesktopWindow.h"

#include <QList>

#include <cstdint>
#include <memory>
#include <optional>

// The desktop's windows as other applications see them: the list of on-screen application windows,
// which process owns the active one, and asking the window manager to activate a process's window.
// Changes of the active window and of the list are followed by DesktopActivity.
class MORVIK_PLATFORM_EXPORT DesktopWindows {
public:
    static constexpr int normalLayer = 0;
    static constexpr int aboveLayer = 3;
    static constexpr int dockLayer = 20;
    static constexpr int notificationLayer = 23;
    static constexpr int popupLayer = 101;

    virtual ~DesktopWindows();

    // On-screen application windows, front-most first, desktop elements left out; nothing when the
    // platform has no window list.
    virtual std::optional<QList<DesktopWindow>> windowList() = 0;

    // Asks the window manager to activate the front-most normal window of that process (a minimised
    // one when it has no other). False when the process has no window or there is no window system.
    virtual bool activateProcess(std::int32_t pid) = 0;

    // The process that owns the active window; nothing when no window is active or it names no
    // process.
    virtual std::optional<std::int32_t> activeProcess() = 0;

    // The process's instance, made on first use (main thread): the X11 one when the display in
    // DISPLAY can be reached, else one that has nothing to offer.
    static DesktopWindows& system();
    // Replaces the process's instance; nothing restores the default.
    static void setSystem(std::shared_ptr<DesktopWindows> windows);
};

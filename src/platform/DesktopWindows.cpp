#include "DesktopWindows.h"

#include "UnavailableDesktopWindows.h"
#include "X11DesktopWindows.h"

namespace {

std::shared_ptr<DesktopWindows>& instance() {
    static std::shared_ptr<DesktopWindows> windows;
    return windows;
}

} // namespace

DesktopWindows::~DesktopWindows() = default;

DesktopWindows& DesktopWindows::system() {
    std::shared_ptr<DesktopWindows>& windows = instance();
    if (!windows) {
        // A connection of our own, opened only when something first asks: the helper starts without
        // touching the display beyond what the application object does.
        if (auto x11 = X11DesktopWindows::connect())
            windows = std::move(x11);
        else
            windows = std::make_shared<UnavailableDesktopWindows>();
    }
    return *windows;
}

void DesktopWindows::setSystem(std::shared_ptr<DesktopWindows> windows) {
    instance() = std::move(windows);
}

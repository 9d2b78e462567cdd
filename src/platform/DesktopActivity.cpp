#include "DesktopActivity.h"

#include "UnavailableDesktopActivity.h"
#include "X11DesktopActivity.h"

DesktopActivity::~DesktopActivity() = default;

std::unique_ptr<DesktopActivity> DesktopActivity::connect() {
    if (auto x11 = X11DesktopActivity::connect())
        return x11;
    return std::make_unique<UnavailableDesktopActivity>();
}

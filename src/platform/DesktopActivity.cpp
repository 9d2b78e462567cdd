#include "DesktopActivity.h"

#include "UnavailableDesktopActivity.h"

DesktopActivity::~DesktopActivity() = default;

std::unique_ptr<DesktopActivity> DesktopActivity::connect() {
    return std::make_unique<UnavailableDesktopActivity>();
}

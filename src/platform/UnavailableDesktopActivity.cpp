#include "UnavailableDesktopActivity.h"

std::optional<std::int32_t> UnavailableDesktopActivity::activeProcess() const {
    return std::nullopt;
}

#include "UnavailableDesktopWindows.h"

std::optional<QList<DesktopWindow>> UnavailableDesktopWindows::windowList() {
    return std::nullopt;
}

bool UnavailableDesktopWindows::activateProcess(std::int32_t) {
    return false;
}

std::optional<std::int32_t> UnavailableDesktopWindows::activeProcess() {
    return std::nullopt;
}

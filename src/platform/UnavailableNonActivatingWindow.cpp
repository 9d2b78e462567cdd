#include "UnavailableNonActivatingWindow.h"

bool UnavailableNonActivatingWindow::refuseFocus(std::uint64_t) {
    return false;
}

bool UnavailableNonActivatingWindow::setInputRegion(std::uint64_t, const QList<QRect>&) {
    return false;
}

bool UnavailableNonActivatingWindow::setVisibleRegion(std::uint64_t, const QList<QRect>&) {
    return false;
}

bool UnavailableNonActivatingWindow::compositing() {
    // Assume the window system blends what it shows: nothing can be done about it anyway.
    return true;
}

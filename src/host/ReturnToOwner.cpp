#include "ReturnToOwner.h"

#include "DesktopWindows.h"
#include "FeedbackExternalHost.h"

namespace FeedbackExternalHost {

bool returnToOwner() {
    const auto owner = ownerPID();
    if (!owner)
        return false;
    // The window manager decides; a process without windows (or that has ended) has nothing to show.
    return DesktopWindows::system().activateProcess(*owner);
}

} // namespace FeedbackExternalHost

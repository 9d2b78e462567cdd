#pragma once

#include "morvik_host_export.h"

// Handing the focus back to the owner application when the helper's own window goes away.
namespace FeedbackExternalHost {

// Activates the owner's front-most window. Does nothing without an owner, when the owner no longer
// runs or has no window, or without a window system. True when the activation was asked for.
// Main thread.
MORVIK_HOST_EXPORT bool returnToOwner();

} // namespace FeedbackExternalHost

#pragma once

#include "morvik_platform_network_export.h"

#include "HttpSession.h"

#include <memory>

// The HTTP session that every service call goes through: reports, snapshots and the account service.
// Part of the settings, kept with the network code so that what never talks to a service does not
// load the network stack. Readable from any thread.
namespace Feedback {

// The session set with setSession, else a shared network session created on first use.
MORVIK_PLATFORM_NETWORK_EXPORT std::shared_ptr<HttpSession> session();
MORVIK_PLATFORM_NETWORK_EXPORT void setSession(std::shared_ptr<HttpSession> value);

} // namespace Feedback

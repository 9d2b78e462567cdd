#pragma once

#include "morvik_config_export.h"

#include <QCoroTask>
#include <QString>

#include <optional>

namespace Feedback {

// The account token from the accountToken hook, trimmed; nothing when there is no hook, the hook
// answers nothing, or the token is blank. Resumes on the calling thread.
MORVIK_CONFIG_EXPORT QCoro::Task<std::optional<QString>> currentAccountToken();

} // namespace Feedback

#pragma once

#include "morvik_platform_export.h"

#include <QString>

// Folders that hold the user's words, addresses and telemetry: readable by the user alone.
namespace PrivateFolder {

// Creates the folder and each missing parent as 0700, whatever the process's umask. True when the
// folder exists afterwards; an existing folder is left as it is.
MORVIK_PLATFORM_EXPORT bool make(const QString& folder);

} // namespace PrivateFolder

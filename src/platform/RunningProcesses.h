#pragma once

#include "morvik_platform_export.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// The processes of this machine by their executable's base name, read from /proc when asked (no
// background scanning). The base name is the file name of the executable (/proc/PID/exe), or of the
// first command-line argument where the executable cannot be read; never the 15-character comm.
namespace RunningProcesses {

// The executable base name of that process; nothing when the process is gone or cannot be read.
MORVIK_PLATFORM_EXPORT std::optional<QString> executableName(std::int32_t pid);

// The processes whose executable base name is one of `names`.
MORVIK_PLATFORM_EXPORT QList<std::int32_t> named(const QStringList& names);

} // namespace RunningProcesses

#pragma once

#include "morvik_platform_export.h"

#include <QDateTime>
#include <QString>

#include <optional>

// When a file came to be, as far as the file system says.
namespace FileTimes {

// The file's birth time where the file system records it, else its last modification time; absent
// when the file cannot be looked at. A link is judged by itself, not by what it points to.
MORVIK_PLATFORM_EXPORT std::optional<QDateTime> created(const QString& path);

} // namespace FileTimes

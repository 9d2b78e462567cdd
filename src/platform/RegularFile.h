#pragma once

#include "morvik_platform_export.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Reading a file of ours that something else may have been put in place of.
namespace RegularFile {

// The whole content of the regular file at `path`, opened without following a symbolic link and
// without blocking (a FIFO or a device in its place neither stalls nor feeds the caller without end).
// Nothing when it is missing, not a regular file, unreadable or larger than maxBytes.
MORVIK_PLATFORM_EXPORT std::optional<QByteArray> read(const QString& path, qint64 maxBytes);

} // namespace RegularFile

#pragma once

#include "morvik_platform_export.h"

#include <QByteArray>

// The one writer of standard output. Each call writes one complete line (the bytes plus a line
// feed), looping over short writes and interruptions, under a lock so that lines from different
// threads never interleave. A closed or broken standard output is remembered and later lines are
// dropped; it is never a crash (SIGPIPE is ignored by installStandardDescriptors).
class MORVIK_PLATFORM_EXPORT StdoutWriter {
public:
    static bool writeLine(const QByteArray& line);
    // Redirects the writer to another descriptor (tests and benchmarks); -1 restores standard output.
    static void setDescriptorForTests(int fd);
};

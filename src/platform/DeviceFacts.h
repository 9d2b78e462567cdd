#pragma once

#include "morvik_platform_export.h"

#include <QString>

#include <array>
#include <cstdint>

// Read-only facts about the machine, as Linux reports them. Each read goes to the system again;
// callers that need a value often keep their own copy.
class MORVIK_PLATFORM_EXPORT DeviceFacts {
public:
    // The running kernel's release as three numbers (major, minor, patch); missing parts are 0.
    static std::array<int, 3> kernelVersion();
    // Parses a kernel release text such as "6.1.0-18-amd64" or "5.15"; missing parts are 0.
    static std::array<int, 3> parseKernelRelease(const QString& release);

    // The DMI product name of the machine (/sys/class/dmi/id/product_name), trimmed; "" when unknown.
    static QString productName();

    // The processor's marketing name from /proc/cpuinfo ("model name", else "Hardware", else
    // "Processor", else "cpu model"), trimmed; "" when unknown.
    static QString processorName();
    // The same lookup in a given cpuinfo text.
    static QString processorName(const QString& cpuinfo);

    // Physical memory in bytes, 0 when unknown.
    static std::uint64_t physicalMemoryBytes();

    // A kernel parameter by its dotted name ("kernel.osrelease" reads /proc/sys/kernel/osrelease), as
    // text up to the first NUL byte and without the trailing line break; "" when unavailable.
    static QString kernelParameter(const QString& name);
};

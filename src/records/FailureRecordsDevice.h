#pragma once

#include "morvik_records_export.h"

#include <QJsonObject>
#include <QString>

#include <array>
#include <cstdint>

// Facts about the device that travel with every records upload.
namespace FailureRecords::Device {

// "Linux" and the kernel's major, minor and patch numbers, e.g. "Linux 6.1.0".
MORVIK_RECORDS_EXPORT QString os();
// The machine's DMI product name; "" when unknown.
MORVIK_RECORDS_EXPORT QString model();
// "ram_gb" (physical memory in GiB, rounded), "chip" and "model" (each filtered and cut to 40
// characters, left out when empty).
MORVIK_RECORDS_EXPORT QJsonObject hardware();
// "linux".
MORVIK_RECORDS_EXPORT QString platform();
// A kernel parameter by its dotted name ("kernel.osrelease"); "" when unavailable.
MORVIK_RECORDS_EXPORT QString sysctlString(const QString& name);

// The same facts built from given values.
MORVIK_RECORDS_EXPORT QString os(const std::array<int, 3>& kernelVersion);
MORVIK_RECORDS_EXPORT QJsonObject hardware(std::uint64_t memoryBytes, const QString& chip,
                                           const QString& model);

} // namespace FailureRecords::Device

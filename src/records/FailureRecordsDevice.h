#pragma once

#include <QJsonObject>
#include <QString>

#include <array>
#include <cstdint>

// Facts about the device that travel with every records upload.
namespace FailureRecords::Device {

// "Linux" and the kernel's major, minor and patch numbers, e.g. "Linux 6.1.0".
QString os();
// The machine's DMI product name; "" when unknown.
QString model();
// "ram_gb" (physical memory in GiB, rounded), "chip" and "model" (each filtered and cut to 40
// characters, left out when empty).
QJsonObject hardware();
// "linux".
QString platform();
// A kernel parameter by its dotted name ("kernel.osrelease"); "" when unavailable.
QString sysctlString(const QString& name);

// The same facts built from given values.
QString os(const std::array<int, 3>& kernelVersion);
QJsonObject hardware(std::uint64_t memoryBytes, const QString& chip, const QString& model);

} // namespace FailureRecords::Device

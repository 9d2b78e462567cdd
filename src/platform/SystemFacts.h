#pragma once

#include "morvik_platform_export.h"

#include <QString>

// Facts about the operating system that reports carry: its human-readable version and how hot the
// machine runs.
class MORVIK_PLATFORM_EXPORT SystemFacts {
public:
    // The distribution's pretty name and the kernel version, e.g.
    // "Debian GNU/Linux 12 (bookworm), Linux 6.1.55"; just "Linux 6.1.55" without an os-release file.
    static QString osDescription();
    // The same from the text of an os-release file (may be empty) and a kernel release string as
    // uname reports it ("6.1.0-13-amd64" gives "6.1.0").
    static QString osDescription(const QString& osReleaseText, const QString& kernelRelease);

    // 0 nominal, 1 fair (an active trip point is reached: fans run), 2 serious (a passive trip point
    // is reached: the kernel throttles), 3 critical (a hot or critical trip point is reached). The
    // hottest zone wins; 0 when the kernel exposes no thermal zones.
    static int thermalLevel();
    static int thermalLevel(const QString& thermalClassDir);
};

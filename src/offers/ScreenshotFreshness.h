#pragma once

#include "morvik_offers_export.h"

#include "ScreenshotCandidate.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

// Whether a new file is a screenshot just taken. Pure: every clock reading and folder list is passed
// in, so the caller decides when "now" is.
class MORVIK_OFFERS_EXPORT ScreenshotFreshness {
public:
    // A file at most this many seconds old counts as fresh.
    static constexpr int freshFileSeconds = 15;
    // A creation time up to this many seconds ahead of now is accepted: clocks and file systems
    // disagree a little.
    static constexpr int aheadToleranceSeconds = 2;
    // File times come from the kernel's coarse clock, which trails the wall clock by up to a
    // scheduler tick: a file made just after the watch began can carry a stamp a few milliseconds
    // before it. Files older than this still count as made before the watch.
    static constexpr int fileClockSlackMs = 20;

    // True when the file sits directly in `folder` (compared as cleaned text) and its age at `now` is
    // between -2 and 15 seconds, both included. No path or no creation time is never fresh.
    static bool isFresh(const std::optional<QString>& path, const std::optional<QDateTime>& created,
                        const QString& folder, const QDateTime& now);

    // The whole judgement of a new file: visible, a still image, created after the watch began
    // (`watchStarted`, wall time, less the file clock's slack) and fresh in one of `folders`.
    static bool accepts(const ScreenshotCandidate& candidate, const QStringList& folders,
                        const QDateTime& watchStarted, const QDateTime& now);
};

#pragma once

#include "morvik_nudge_export.h"

#include <QDateTime>
#include <QList>
#include <QString>

class PreferenceStore;

// When the idea card may invite the user: only after they have used the application for a while,
// at most three times a year and at least 14 days apart, never within 90 days of an accepted report
// or 14 days of a dismissal, and never again after the third dismissal since the last accepted report.
//
// The whole schedule lives in the preference store under "velquist.fbnudge.<application key>.", read
// anew on every call (a change of the application key switches to that key's schedule). Values that
// are missing or damaged read as 0, false or an empty list, so a damaged store starts over instead of
// failing. Each change is a read and a write of the store under its lock file, so that two processes
// of one application never lose each other's counts. Any thread.
namespace IdeaNudge {

// Schedule constants, in seconds unless named otherwise.
inline constexpr double sessionGap = 6 * 3600;
inline constexpr int minimumSessions = 3;
inline constexpr double minimumAge = 3 * 86400;
inline constexpr double quietAfterReport = 90 * 86400;
inline constexpr double quietAfterDismissal = 14 * 86400;
inline constexpr double showWindow = 365 * 86400;
inline constexpr int showsPerWindow = 3;
inline constexpr int sessionsBeforeSecondShow = 8;
inline constexpr int dismissalsUntilOff = 3;
inline constexpr int storedShows = 6;

// The store the schedule lives in: the application's standard one unless another was set (tests).
MORVIK_NUDGE_EXPORT PreferenceStore& defaults();
MORVIK_NUDGE_EXPORT void setDefaults(PreferenceStore* store);

// "velquist.fbnudge." + the application key + ".".
MORVIK_NUDGE_EXPORT QString prefix();

// The number stored under prefix() + key; 0 when missing or not a finite number.
MORVIK_NUDGE_EXPORT double get(const QString& key);
MORVIK_NUDGE_EXPORT void set(const QString& key, double value);

// Times the card was shown, seconds since 1970, oldest first; empty when missing or damaged.
MORVIK_NUDGE_EXPORT QList<double> shownAt();
// Stores the last storedShows entries.
MORVIK_NUDGE_EXPORT void setShownAt(const QList<double>& times);

// Counts a session when more than 6 hours have passed since the last one counted; returns the count.
MORVIK_NUDGE_EXPORT int noteSession(const QDateTime& now = QDateTime::currentDateTimeUtc());
MORVIK_NUDGE_EXPORT bool eligible(const QDateTime& now = QDateTime::currentDateTimeUtc());
MORVIK_NUDGE_EXPORT void recordShown(const QDateTime& now = QDateTime::currentDateTimeUtc());
// The user waved the card away; the third time since the last accepted report turns it off for good.
MORVIK_NUDGE_EXPORT void recordDismissal(const QDateTime& now = QDateTime::currentDateTimeUtc());
// A report was accepted: quiet for 90 days, and the dismissals count from zero again.
MORVIK_NUDGE_EXPORT void recordSubmission(const QDateTime& now = QDateTime::currentDateTimeUtc());

} // namespace IdeaNudge

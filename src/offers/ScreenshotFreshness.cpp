#include "ScreenshotFreshness.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

bool ScreenshotFreshness::isFresh(const std::optional<QString>& path, const std::optional<QDateTime>& created,
                                  const QString& folder, const QDateTime& now) {
    if (!path || path->isEmpty() || !created || !created->isValid() || !now.isValid())
        return false;
    if (QDir::cleanPath(QFileInfo(*path).path()) != folder)
        return false;
    const qint64 ageMs = created->msecsTo(now);
    return ageMs >= -qint64(aheadToleranceSeconds) * 1000 && ageMs <= qint64(freshFileSeconds) * 1000;
}

bool ScreenshotFreshness::accepts(const ScreenshotCandidate& candidate, const QStringList& folders,
                                  const QDateTime& watchStarted, const QDateTime& now) {
    if (candidate.hidden || candidate.kind != ScreenshotCandidate::Kind::still || !candidate.created)
        return false;
    // Files made before the watch began never count, however fresh they look.
    if (!watchStarted.isValid() || *candidate.created <= watchStarted.addMSecs(-fileClockSlackMs))
        return false;
    return std::any_of(folders.begin(), folders.end(), [&](const QString& folder) {
        return isFresh(candidate.path, candidate.created, folder, now);
    });
}

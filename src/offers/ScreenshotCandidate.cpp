#include "ScreenshotCandidate.h"

#include "FileTimes.h"

#include <QFileInfo>
#include <QMimeDatabase>
#include <QMimeType>

#include <algorithm>

namespace {

ScreenshotCandidate::Kind kindOf(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile())
        return ScreenshotCandidate::Kind::other;
    const QMimeType type = QMimeDatabase().mimeTypeForFile(info);
    // Screen recordings are movies, never offers: test them first, as some video types also name an
    // image type among their ancestors.
    const auto isA = [&type](const QString& prefix) {
        if (type.name().startsWith(prefix))
            return true;
        const QStringList ancestors = type.allAncestors();
        return std::any_of(ancestors.begin(), ancestors.end(),
                           [&prefix](const QString& name) { return name.startsWith(prefix); });
    };
    if (isA(QStringLiteral("video/")))
        return ScreenshotCandidate::Kind::movie;
    if (type.name().startsWith(QStringLiteral("image/")))
        return ScreenshotCandidate::Kind::still;
    return ScreenshotCandidate::Kind::other;
}

} // namespace

ScreenshotCandidate ScreenshotCandidate::fromFile(const QString& path) {
    ScreenshotCandidate candidate;
    candidate.path = path;
    candidate.hidden = QFileInfo(path).fileName().startsWith(u'.');
    candidate.kind = kindOf(path);
    candidate.created = FileTimes::created(path);
    return candidate;
}

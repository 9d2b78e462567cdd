#pragma once

#include "morvik_offers_export.h"

#include <QDateTime>
#include <QString>

#include <optional>

// A new file in a screenshot folder, as far as the file itself tells: its name, what it holds and
// when it was made.
class MORVIK_OFFERS_EXPORT ScreenshotCandidate {
public:
    enum class Kind { still, movie, other };

    QString path;
    bool hidden = false;              // the name starts with "."
    Kind kind = Kind::other;          // image/* is a still, video/* (or a type inheriting it) a movie
    std::optional<QDateTime> created; // birth time, else modification time; absent when unreadable

    // Looks at the file on disk: its type by name and content, its times through the file system.
    static ScreenshotCandidate fromFile(const QString& path);
};

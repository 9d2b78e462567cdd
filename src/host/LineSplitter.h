#pragma once

#include "morvik_host_export.h"

#include <QByteArray>
#include <QByteArrayView>

#include <functional>

// Splits a byte stream into lines at line feeds. A line that grows past the limit before its line
// feed arrives is dropped as it streams: its bytes are discarded at once (memory stays bounded) and
// everything up to its line feed is skipped, after which splitting resumes with the next line.
class MORVIK_HOST_EXPORT LineSplitter {
public:
    static constexpr qsizetype defaultMaxLineBytes = qsizetype(64) * 1024 * 1024;

    using LineHandler = std::function<void(QByteArrayView line)>;
    using DropHandler = std::function<void()>;

    explicit LineSplitter(qsizetype maxLineBytes = defaultMaxLineBytes);

    // Hands every complete line of the buffered input plus `chunk` to onLine (without its line feed),
    // in order; onDropped is called once for each over-long line, when it starts being discarded.
    void append(QByteArrayView chunk, const LineHandler& onLine, const DropHandler& onDropped = {});

    qsizetype bufferedBytes() const { return buffer_.size(); }

private:
    QByteArray buffer_;
    qsizetype maxLineBytes_;
    bool discarding_ = false;
};

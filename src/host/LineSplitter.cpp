#include "LineSplitter.h"

LineSplitter::LineSplitter(qsizetype maxLineBytes)
    : maxLineBytes_(maxLineBytes) {}

void LineSplitter::append(QByteArrayView chunk, const LineHandler& onLine, const DropHandler& onDropped) {
    qsizetype start = 0;
    // Skip the rest of a line that is being discarded.
    if (discarding_) {
        const qsizetype end = chunk.indexOf('\n');
        if (end < 0)
            return;
        discarding_ = false;
        start = end + 1;
    }
    // Lines that begin and end inside this chunk are handed over without copying; only the first one
    // may continue bytes buffered from earlier chunks.
    while (start < chunk.size()) {
        const qsizetype end = chunk.indexOf('\n', start);
        if (end < 0)
            break;
        if (buffer_.size() + (end - start) > maxLineBytes_) {
            buffer_ = QByteArray();
            if (onDropped)
                onDropped();
        } else if (buffer_.isEmpty()) {
            onLine(chunk.sliced(start, end - start));
        } else {
            buffer_.append(chunk.sliced(start, end - start));
            const QByteArray line = std::move(buffer_);
            buffer_ = QByteArray();
            onLine(line);
        }
        start = end + 1;
    }
    if (start >= chunk.size())
        return;
    const QByteArrayView rest = chunk.sliced(start);
    if (buffer_.size() + rest.size() > maxLineBytes_) {
        buffer_ = QByteArray();
        discarding_ = true;
        if (onDropped)
            onDropped();
        return;
    }
    buffer_.append(rest);
}

#pragma once

#include "morvik_platform_export.h"

#include <QByteArray>
#include <QObject>

class QSocketNotifier;

// Reads standard input on the thread that owns it, without changing the descriptor's blocking
// mode: a socket notifier reports readability and each activation does one read(). Chunks are
// emitted in arrival order; an empty chunk means end of input.
class MORVIK_PLATFORM_EXPORT StdinReader : public QObject {
    Q_OBJECT
public:
    explicit StdinReader(int fd = 0, QObject* parent = nullptr);
    ~StdinReader() override;

Q_SIGNALS:
    void chunk(const QByteArray& bytes);

private:
    void readOnce();
    int fd_;
    QSocketNotifier* notifier_;
};

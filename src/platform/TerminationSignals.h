#pragma once

#include "morvik_platform_export.h"

#include <QObject>

#include <vector>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into a Qt signal on the thread that created this object, so that a
// process told to end can end in order (from its event loop) instead of by the default action.
//
// The handler only writes the signal number into a pipe (all a signal handler may safely do); the
// read end is watched by a socket notifier. One instance at a time: the handlers are process-wide.
// A signal that is ignored when this is created stays ignored. Destroying it restores the default
// actions.
class MORVIK_PLATFORM_EXPORT TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // False when the pipe or the handlers could not be set up; the default actions then stay.
    bool isInstalled() const { return notifier_ != nullptr; }

Q_SIGNALS:
    void received(int signalNumber);

private:
    void drain();

    int readFd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    std::vector<int> installed_;
};

#pragma once

#include "morvik_host_export.h"

#include <QObject>
#include <QString>

#include <chrono>

class LocalRequestServer;

namespace FeedbackExternalHost {

// What happens when the user starts the helper again while it runs: the second launch (with
// --reopen, or without an owner) reaches this one over a local socket private to the user, and the
// composer comes forward, or opens after a snapshot request to the owner.
//
// One helper per user answers: the first that listens keeps the name; a later one finds it taken
// and stays silent (a dead helper's leftover socket is cleaned up and taken over).
class MORVIK_HOST_EXPORT ReopenDelegate : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds defaultAnswerWait{3000};

    explicit ReopenDelegate(QObject* parent = nullptr);
    ~ReopenDelegate() override;

    // The socket's path: in XDG_RUNTIME_DIR when there is one, else in the temporary directory with
    // the user id in its name.
    static QString serverName();

    // Starts answering second launches. False when another helper of this user already answers.
    bool listen();
    bool isListening() const;
    // Stops answering and removes the socket, so that a later helper does not find a leftover.
    void close();

    // The second launch's side: asks the running helper to reopen and waits for its answer. False
    // when no helper answers.
    static bool requestReopen(std::chrono::milliseconds wait = defaultAnswerWait);

    // Brings the open composer forward, or asks the owner for a snapshot and opens one. Always false:
    // there is nothing else to do for a reopen.
    bool applicationShouldHandleReopen(bool hasVisibleWindows);

Q_SIGNALS:
    // A second launch asked for the composer (after it was handled).
    void reopened();

private:
    LocalRequestServer* server_;
};

} // namespace FeedbackExternalHost

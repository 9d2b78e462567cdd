#pragma once

#include "morvik_host_export.h"

#include "LineSplitter.h"

#include <QByteArray>
#include <QJsonObject>
#include <QObject>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class ComposerPresenter;
class OfferReporter;
class OutboxFlusher;
struct OwnerConfig;
struct OwnerMessage;

namespace FeedbackExternalHost {

class ReopenDelegate;

// What a host hands its work to. Each part may be missing: a host without a composer opens nothing,
// one without an outbox flushes nothing, one without offers never offers.
struct MORVIK_HOST_EXPORT HostParts {
    std::shared_ptr<ComposerPresenter> composer;
    std::shared_ptr<OutboxFlusher> outbox;
    std::shared_ptr<OfferReporter> offers;
    // Where each line for the owner goes (without its line feed); standard output when empty. Called
    // from any thread (log lines come from everywhere).
    std::function<void(const QByteArray&)> writeLine;
};

// The helper's side of the owner line protocol and everything it keeps: the owner's process, the
// partial input line, the snapshot requests waiting for an answer. The program's entry makes one and
// runs it; tests make one with exactly the parts they need and feed it input. The newest host alive
// is the process's host (current()), which the FeedbackExternalHost functions speak for. Main thread.
class MORVIK_HOST_EXPORT Host {
public:
    explicit Host(HostParts parts);
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    static Host* current();

    // Takes over the process: accessory application, the parent as owner, log lines to the owner,
    // standard input read line by line, SIGTERM/SIGINT handled like the end of input. Returns only by
    // ending the process.
    [[noreturn]] void run();

    // A chunk read from standard input; complete lines are handled at once, in order. An empty chunk
    // is the end of input and ends the process.
    void receive(const QByteArray& chunk);
    void handle(const OwnerMessage& message);

    std::optional<std::int32_t> ownerPID() const { return ownerPID_; }
    void setOwnerPID(std::optional<std::int32_t> pid) { ownerPID_ = pid; }
    const HostParts& parts() const { return parts_; }

    // Asks the owner for a snapshot; the completion gets the decoded bytes, or nothing when no usable
    // answer comes within snapshotAnswerTimeout.
    void requestSnapshot(std::function<void(std::optional<QByteArray>)> completion);
    // Requests a snapshot, then presents the composer with it. Returns at once.
    void compose();
    void send(const QJsonObject& message) const;
    // Closes the reopen socket, if this host opened one.
    void closeReopenSocket();

private:
    void configure(const OwnerConfig& config);
    // Without a product name of the owner's choosing, the composer names the owner (its program's
    // name), never this helper.
    void nameAfterOwner();
    void answerSnapshot(std::int64_t id, std::optional<QByteArray> snapshot);
    void expireSnapshot(std::int64_t id);

    HostParts parts_;
    std::optional<std::int32_t> ownerPID_;
    bool productNameConfigured_ = false;
    LineSplitter splitter_;
    std::int64_t nextID_ = 0;
    std::map<std::int64_t, std::function<void(std::optional<QByteArray>)>> waiting_;
    std::unique_ptr<ReopenDelegate> delegate_;
    QObject timers_; // the context of this host's timers: they end with it
    Host* previous_ = nullptr;
};

} // namespace FeedbackExternalHost

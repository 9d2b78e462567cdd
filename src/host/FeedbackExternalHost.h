#pragma once

#include <QByteArray>
#include <QCoroTask>
#include <QJsonObject>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class ComposerPresenter;
class OfferReporter;
class OutboxFlusher;

// The helper process's side of the owner line protocol: one JSON object per line on standard input
// and output. All of its state lives on the main thread.
namespace FeedbackExternalHost {

// How long the owner has to answer a snapshot request.
inline constexpr std::chrono::milliseconds snapshotAnswerTimeout{3000};

// Takes over the process: accessory application, the parent as owner, log lines to standard output,
// standard input read line by line. Returns only by ending the process (status 0 at end of input).
// Needs the QGuiApplication to exist.
[[noreturn]] void run();

// Ends the helper in order, with status 0: closes its windows, stops answering second launches (the
// socket is removed) and exits. The end of standard input, SIGTERM and SIGINT all lead here. Main
// thread.
[[noreturn]] void end();

bool isHosting();
std::optional<std::int32_t> ownerPID();

// Asks the owner for a snapshot of its screen; resumes with the decoded bytes, or nothing when the owner
// does not answer within snapshotAnswerTimeout or answers without a usable image. Main thread only.
QCoro::Task<std::optional<QByteArray>> requestSnapshot();
void requestSnapshot(std::function<void(std::optional<QByteArray>)> completion);

// Requests a snapshot, then presents the composer with it. Returns at once.
void compose();

// Where compose, flush and configuration lead; each does nothing (a flush sends nothing) until
// installed.
void setComposerPresenter(std::shared_ptr<ComposerPresenter> presenter);
void setOutboxFlusher(std::shared_ptr<OutboxFlusher> flusher);
void setOfferReporter(std::shared_ptr<OfferReporter> reporter);
std::shared_ptr<ComposerPresenter> composerPresenter();

// Connects the application to the desktop's accessibility bus so that screen readers see our windows.
// The helper starts without it (connecting costs a session-bus round trip, or a bus autolaunch where
// there is no session bus) and does it once the owner has its "ready", or before the first window.
// Main thread; later calls do nothing.
void enableAccessibility();

// Routes Feedback::log to the owner as {"log": line} messages, from any thread.
void installLogForwarder();

// Writes one message to the owner as a compact JSON line.
void send(const QJsonObject& message);

} // namespace FeedbackExternalHost

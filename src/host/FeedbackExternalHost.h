#pragma once

#include "morvik_host_export.h"

#include <QByteArray>
#include <QCoroTask>
#include <QJsonObject>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class ComposerPresenter;

// The helper process's side of the owner line protocol: one JSON object per line on standard input
// and output. The state lives in the process's Host (Host.h); these functions speak for it, so that
// windows, menus and the reopen handling need not be handed one. Main thread, except where noted.
namespace FeedbackExternalHost {

// How long the owner has to answer a snapshot request.
inline constexpr std::chrono::milliseconds snapshotAnswerTimeout{3000};

// Ends the helper in order, with status 0: closes its windows, stops answering second launches (the
// socket is removed) and exits. The end of standard input, SIGTERM and SIGINT all lead here.
[[noreturn]] MORVIK_HOST_EXPORT void end();

// Whether an owner process is known: always in the helper, never in an application that embeds us.
MORVIK_HOST_EXPORT bool isHosting();
MORVIK_HOST_EXPORT std::optional<std::int32_t> ownerPID();

// Asks the owner for a snapshot of its screen; resumes with the decoded bytes, or nothing when the owner
// does not answer within snapshotAnswerTimeout, answers without a usable image, or there is no host.
MORVIK_HOST_EXPORT QCoro::Task<std::optional<QByteArray>> requestSnapshot();
MORVIK_HOST_EXPORT void requestSnapshot(std::function<void(std::optional<QByteArray>)> completion);

// Requests a snapshot, then presents the composer with it. Returns at once.
MORVIK_HOST_EXPORT void compose();
// The host's composer, or null.
MORVIK_HOST_EXPORT std::shared_ptr<ComposerPresenter> composerPresenter();

// Connects the application to the desktop's accessibility bus so that screen readers see our windows.
// The helper starts without it (connecting costs a session-bus round trip, or a bus autolaunch where
// there is no session bus) and does it once the owner has its "ready", or before the first window.
// Later calls do nothing.
MORVIK_HOST_EXPORT void enableAccessibility();

// Routes Feedback::log to the owner as {"log": line} messages, from any thread.
MORVIK_HOST_EXPORT void installLogForwarder();

// Writes one message to the owner as a compact JSON line. Any thread.
MORVIK_HOST_EXPORT void send(const QJsonObject& message);

} // namespace FeedbackExternalHost

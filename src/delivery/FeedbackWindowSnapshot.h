#pragma once

#include "morvik_delivery_quick_export.h"

#include <QByteArray>
#include <QCoroTask>

#include <chrono>
#include <functional>
#include <optional>

class QQuickWindow;

// Snapshots for a report: the one the owner or embedding code provides, else a picture of a window.
namespace Feedback {

// The window's content as drawn, at its device pixel resolution, as JPEG at quality 0.8. No window
// means the application's focused window; absent when there is none or it is not a Qt Quick window,
// or when grabbing or encoding fails. Main thread only.
MORVIK_DELIVERY_QUICK_EXPORT std::optional<QByteArray> captureWindowSnapshot(QQuickWindow* window = nullptr);

// The snapshot provider's bytes when it is installed and gives some; otherwise the focused window's
// snapshot. Main thread only.
MORVIK_DELIVERY_QUICK_EXPORT QCoro::Task<std::optional<QByteArray>> captureSnapshot();
MORVIK_DELIVERY_QUICK_EXPORT void captureSnapshot(std::function<void(std::optional<QByteArray>)> done);

// captureSnapshot(), given up after `limit`: a provider that never answers yields no snapshot then,
// instead of holding the caller forever. A late answer is dropped. Main thread only.
MORVIK_DELIVERY_QUICK_EXPORT QCoro::Task<std::optional<QByteArray>>
captureSnapshotWithin(std::chrono::milliseconds limit);

} // namespace Feedback

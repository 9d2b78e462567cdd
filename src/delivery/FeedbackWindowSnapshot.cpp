#include "FeedbackWindowSnapshot.h"

#include "Deferred.h"
#include "Feedback.h"
#include "PlainEntry.h"
#include "ScreenshotImage.h"

#include <QGuiApplication>
#include <QQuickWindow>
#include <QTimer>

namespace Feedback {
namespace {

constexpr int snapshotQuality = 80;

} // namespace

std::optional<QByteArray> captureWindowSnapshot(QQuickWindow* window) {
    if (!window)
        window = qobject_cast<QQuickWindow*>(QGuiApplication::focusWindow());
    if (!window || !window->isExposed())
        return std::nullopt;
    const QImage grabbed = window->grabWindow();
    if (grabbed.isNull())
        return std::nullopt;
    return ScreenshotImage::encodeJpeg(grabbed, snapshotQuality);
}

QCoro::Task<std::optional<QByteArray>> captureSnapshot() {
    if (const SnapshotProvider provider = snapshotProvider()) {
        const std::optional<QByteArray> provided =
            co_await Deferred<std::optional<QByteArray>>::run(provider);
        // An empty answer carries no picture; the window is taken instead.
        if (provided && !provided->isEmpty())
            co_return provided;
    }
    co_return captureWindowSnapshot();
}

void captureSnapshot(std::function<void(std::optional<QByteArray>)> done) {
    PlainEntry::run(captureSnapshot(), std::move(done));
}

QCoro::Task<std::optional<QByteArray>> captureSnapshotWithin(std::chrono::milliseconds limit) {
    // Whichever answers first wins: the capture or the time limit.
    Deferred<std::optional<QByteArray>>::Start race = [limit](Completion<std::optional<QByteArray>> done) {
        QTimer::singleShot(limit, QCoreApplication::instance(), [done] { done(std::nullopt); });
        PlainEntry::run(captureSnapshot(), std::move(done));
    };
    QCoro::Task<std::optional<QByteArray>> task = Deferred<std::optional<QByteArray>>::run(std::move(race));
    co_return co_await task;
}

} // namespace Feedback

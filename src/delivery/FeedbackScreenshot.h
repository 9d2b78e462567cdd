#pragma once

#include "morvik_delivery_export.h"

#include "DeliveryOutcome.h"
#include "FeedbackIntent.h"
#include "ScreenshotUploadResult.h"

#include <QByteArray>
#include <QCoroTask>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

// Snapshot preparation and upload to the feedback service's "/screenshot" endpoint, and the delivery
// calls that upload a snapshot and then send the report carrying its address.
namespace Feedback {

inline constexpr int defaultScreenshotMaxLongEdge = 1600;
inline constexpr int defaultScreenshotMaxBytes = 1500000;
// Whatever is configured, a snapshot may keep at least this longest side and this many bytes.
inline constexpr int screenshotLongEdgeFloor = 64;
inline constexpr int screenshotBytesFloor = 16000;

// Longest side of an uploaded snapshot, in pixels.
MORVIK_DELIVERY_EXPORT int screenshotMaxLongEdge();
MORVIK_DELIVERY_EXPORT void setScreenshotMaxLongEdge(int pixels);
// Size budget of an uploaded snapshot, in bytes.
MORVIK_DELIVERY_EXPORT int screenshotMaxBytes();
MORVIK_DELIVERY_EXPORT void setScreenshotMaxBytes(int bytes);

// "Screenshot didn't upload; your words were sent."
MORVIK_DELIVERY_EXPORT QString screenshotNotAttachedNote();

// The base URL with "/screenshot".
MORVIK_DELIVERY_EXPORT QUrl screenshotEndpoint();
// Where an uploaded snapshot can be seen: the base URL, "/screenshot/" and the service's identifier.
MORVIK_DELIVERY_EXPORT QString screenshotAddress(const QString& identifier);

// The snapshot fitted to the limits (absent ones mean the settings; they are raised to the floors):
// the bytes themselves when they already are a JPEG within both limits, else a JPEG re-encoding,
// trying at most five sizes and qualities and keeping the smallest when none fits. Absent when the
// bytes are not a readable image. CPU-bound; runs on the calling thread.
MORVIK_DELIVERY_EXPORT std::optional<QByteArray> preparedScreenshot(const QByteArray& bytes,
                                                                    std::optional<int> maxLongEdge = {},
                                                                    std::optional<int> maxBytes = {});

// Prepares and uploads a snapshot; one retry when the failure may pass (after
// DeliveryTimings::screenshotRetryDelay), or at once with a smaller preparation after a 413. The
// preparation runs on a worker thread; the task resumes on the calling thread.
MORVIK_DELIVERY_EXPORT QCoro::Task<ScreenshotUploadResult>
uploadScreenshotResult(QByteArray bytes, QString contentType = QStringLiteral("image/png"));
MORVIK_DELIVERY_EXPORT void uploadScreenshotResult(QByteArray bytes, QString contentType,
                                                   std::function<void(ScreenshotUploadResult)> done);

// uploadScreenshotResult reduced to the public address.
MORVIK_DELIVERY_EXPORT QCoro::Task<std::optional<QString>>
uploadScreenshot(QByteArray bytes, QString contentType = QStringLiteral("image/png"));
MORVIK_DELIVERY_EXPORT void uploadScreenshot(QByteArray bytes, QString contentType,
                                             std::function<void(std::optional<QString>)> done);

// One POST of the body as it is, with Content-Type, X-App, X-Purpose and X-App-Version. The
// application key travels only over https or to a loopback address.
MORVIK_DELIVERY_EXPORT QCoro::Task<ScreenshotUploadResult> postScreenshot(QByteArray body,
                                                                          QString contentType);

// Uploads the snapshot when one is given (as "image/jpeg"), then sends the report with its address,
// or with the upload's failure summary. The note is set when the report was accepted without the
// snapshot it should have carried.
MORVIK_DELIVERY_EXPORT QCoro::Task<DeliveryOutcome> deliverOutcome(FeedbackIntent intent, QString message,
                                                                   QString contact = {},
                                                                   std::optional<QByteArray> screenshot = {});
MORVIK_DELIVERY_EXPORT void deliverOutcome(FeedbackIntent intent, QString message, QString contact,
                                           std::optional<QByteArray> screenshot,
                                           std::function<void(DeliveryOutcome)> done);

// deliverOutcome with the outcome reduced to the reference code (both absent unless accepted).
MORVIK_DELIVERY_EXPORT QCoro::Task<Delivery> deliver(FeedbackIntent intent, QString message,
                                                     QString contact = {},
                                                     std::optional<QByteArray> screenshot = {});
MORVIK_DELIVERY_EXPORT void deliver(FeedbackIntent intent, QString message, QString contact,
                                    std::optional<QByteArray> screenshot, std::function<void(Delivery)> done);

} // namespace Feedback

#include "FeedbackScreenshot.h"

#include <QCoreApplication>

#include "DeliveryTimings.h"
#include "Feedback.h"
#include "FeedbackLogging.h"
#include "FeedbackReport.h"
#include "FeedbackSession.h"
#include "FeedbackSubmission.h"
#include "HttpClassification.h"
#include "OnWorkerThread.h"
#include "PlainEntry.h"
#include "ScreenshotImage.h"

#include <QCoroTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeDatabase>

#include <algorithm>
#include <atomic>
#include <memory>

namespace Feedback {
namespace {

std::atomic<int> maxLongEdgeSetting{defaultScreenshotMaxLongEdge};
std::atomic<int> maxBytesSetting{defaultScreenshotMaxBytes};

constexpr int maxAttempts = 5;
constexpr int firstQuality = 80;
constexpr int qualityStep = 10;
constexpr int lowestQuality = 50;
constexpr int smallestLaterSize = 1280; // a later attempt asks for at least 1280 / 4 = 320 pixels

const QString jpegType = QStringLiteral("image/jpeg");

// Preparation takes a noticeable part of a second for a large screen; the event loop of the calling
// thread (often the composer's) keeps running meanwhile.
QCoro::Task<std::optional<QByteArray>> preparedInBackground(QByteArray bytes, std::optional<int> maxLongEdge,
                                                            std::optional<int> maxBytes) {
    // The task is made before it is awaited: GCC 12 destroys a temporary std::function created inside
    // a co_await expression twice, which frees the captured snapshot under its owner.
    QCoro::Task<std::optional<std::optional<QByteArray>>> work = onWorkerThread<std::optional<QByteArray>>(
        [bytes, maxLongEdge, maxBytes] { return preparedScreenshot(bytes, maxLongEdge, maxBytes); });
    const std::optional<std::optional<QByteArray>> prepared = co_await work;
    co_return prepared.value_or(std::nullopt);
}

// Whether a content type says JPEG (aliases and parameters included).
bool claimsJpeg(const QString& contentType) {
    const QMimeType type =
        QMimeDatabase().mimeTypeForName(contentType.section(u';', 0, 0).trimmed().toLower());
    return type.isValid() && type.inherits(jpegType);
}

// The pause before a retry is at least the configured delay: a coarse timer may fire early.
QCoro::Task<> pause(std::chrono::milliseconds delay) {
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    timer.start(delay);
    co_await timer;
}

} // namespace

int screenshotMaxLongEdge() {
    return maxLongEdgeSetting.load();
}
void setScreenshotMaxLongEdge(int pixels) {
    maxLongEdgeSetting = pixels;
}
int screenshotMaxBytes() {
    return maxBytesSetting.load();
}
void setScreenshotMaxBytes(int bytes) {
    maxBytesSetting = bytes;
}

QString screenshotNotAttachedNote() {
    return QCoreApplication::translate("FeedbackScreenshot",
                                       "Screenshot didn't upload; your words were sent.");
}

QUrl screenshotEndpoint() {
    return endpoint(feedbackServiceURL(), QStringLiteral("/screenshot"));
}

QString screenshotAddress(const QString& identifier) {
    return endpoint(feedbackServiceURL(), QStringLiteral("/screenshot/") + identifier)
        .toString(QUrl::FullyEncoded);
}

std::optional<QByteArray> preparedScreenshot(const QByteArray& bytes, std::optional<int> maxLongEdge,
                                             std::optional<int> maxBytes) {
    const int edgeLimit = std::max(maxLongEdge.value_or(screenshotMaxLongEdge()), screenshotLongEdgeFloor);
    const qint64 budget = std::max(maxBytes.value_or(screenshotMaxBytes()), screenshotBytesFloor);

    const std::optional<ScreenshotImage> image = ScreenshotImage::open(bytes);
    if (!image)
        return std::nullopt;
    const int longest = std::max(image->pixelWidth(), image->pixelHeight());
    if (image->encoding() == ScreenshotImage::Encoding::jpeg && longest >= 1 && longest <= edgeLimit &&
        bytes.size() <= budget)
        return bytes;

    int size = longest > 0 && longest < edgeLimit ? longest : edgeLimit;
    int quality = firstQuality;
    std::optional<QByteArray> best;
    for (int attempt = 0; attempt < maxAttempts; ++attempt) {
        const std::optional<QImage> picture = image->thumbnail(size);
        if (!picture)
            return best;
        std::optional<QByteArray> encoded = ScreenshotImage::encodeJpeg(*picture, quality);
        if (!encoded)
            return best;
        // Best so far: the smallest encoding. One that fits is always smaller than every earlier one,
        // which did not fit.
        if (!best || encoded->size() < best->size())
            best = std::move(encoded);
        if (best->size() <= budget)
            return best;
        size = std::max(3 * size, smallestLaterSize) / 4;
        quality = std::max(quality - qualityStep, lowestQuality);
    }
    return best;
}

QCoro::Task<ScreenshotUploadResult> postScreenshot(QByteArray body, QString contentType) {
    HttpRequest request;
    request.method = "POST";
    request.url = screenshotEndpoint();
    request.headers.append(std::pair<QByteArray, QByteArray>("Content-Type", contentType.toUtf8()));
    request.headers.append(std::pair<QByteArray, QByteArray>("X-App", appKey().toUtf8()));
    request.headers.append(std::pair<QByteArray, QByteArray>("X-Purpose", "debug"));
    request.headers.append(std::pair<QByteArray, QByteArray>("X-App-Version", appVersionText().toUtf8()));
    request.body = std::move(body);
    request.timeout = DeliveryTimings::screenshotTimeout();
    const HttpResult result = co_await session()->send(std::move(request));
    if (!result.ok()) {
        if (HttpClassification::snapshot().verdict(result) == HttpVerdict::refused) {
            // A key or the version text holds a control character; the line names the header only.
            qCInfo(lcFeedbackDelivery).noquote()
                << QStringLiteral("feedback: snapshot not sent: ") + result.failureText;
            co_return ScreenshotUploadResult::failure(ScreenshotUploadError::notSendable(result.failureText));
        }
        co_return ScreenshotUploadResult::failure(ScreenshotUploadError::transport(result.failureText));
    }
    if (HttpClassification::snapshot().verdict(result) != HttpVerdict::accepted)
        co_return ScreenshotUploadResult::failure(ScreenshotUploadError::http(*result.status));
    const QJsonDocument document = QJsonDocument::fromJson(result.body);
    const QJsonValue identifier =
        document.isObject() ? document.object().value(QStringLiteral("id")) : QJsonValue();
    if (!identifier.isString() || identifier.toString().isEmpty())
        co_return ScreenshotUploadResult::failure(ScreenshotUploadError::badResponse());
    co_return ScreenshotUploadResult::success(screenshotAddress(identifier.toString()));
}

QCoro::Task<ScreenshotUploadResult> uploadScreenshotResult(QByteArray bytes, QString contentType) {
    if (appKey().isEmpty())
        co_return ScreenshotUploadResult::failure(ScreenshotUploadError::notConfigured());
    // The application key never travels in clear text to another machine; no retry can change that.
    if (!HttpSession::maySendSecrets(screenshotEndpoint()))
        co_return ScreenshotUploadResult::failure(
            ScreenshotUploadError::notSendable(QStringLiteral("the feedback service address is not https")));

    const std::optional<QByteArray> prepared =
        co_await preparedInBackground(bytes, std::nullopt, std::nullopt);
    // Bytes no decoder here can read (damaged, not a picture, or one above the pixel limits) are never
    // sent under the JPEG label the delivery calls give every snapshot: they stay here, and the report
    // says why. Under another label the caller vouches for them and they go out as they are.
    if (!prepared && claimsJpeg(contentType))
        co_return ScreenshotUploadResult::failure(ScreenshotUploadError::unreadable());
    const QByteArray body = prepared.value_or(bytes);
    const QString bodyType = body == bytes ? contentType : jpegType;

    const ScreenshotUploadResult first = co_await postScreenshot(body, bodyType);
    const std::optional<ScreenshotUploadError> error = first.error();
    // The one retry happens exactly for the errors that call themselves retryable.
    if (!error || !error->retryable())
        co_return first;
    if (error->kind() == ScreenshotUploadError::Kind::http && error->status() == 413) {
        // Too large for the service: shrink further and try again at once.
        const std::optional<QByteArray> smaller =
            co_await preparedInBackground(bytes, screenshotMaxLongEdge() / 2, screenshotMaxBytes() / 3);
        if (smaller)
            co_return co_await postScreenshot(*smaller, jpegType);
    }
    co_await pause(DeliveryTimings::screenshotRetryDelay());
    co_return co_await postScreenshot(body, bodyType);
}

void uploadScreenshotResult(QByteArray bytes, QString contentType,
                            std::function<void(ScreenshotUploadResult)> done) {
    PlainEntry::run(uploadScreenshotResult(std::move(bytes), std::move(contentType)), std::move(done));
}

QCoro::Task<std::optional<QString>> uploadScreenshot(QByteArray bytes, QString contentType) {
    const ScreenshotUploadResult result =
        co_await uploadScreenshotResult(std::move(bytes), std::move(contentType));
    co_return result.address();
}

void uploadScreenshot(QByteArray bytes, QString contentType,
                      std::function<void(std::optional<QString>)> done) {
    PlainEntry::run(uploadScreenshot(std::move(bytes), std::move(contentType)), std::move(done));
}

QCoro::Task<DeliveryOutcome> deliverOutcome(FeedbackIntent intent, QString message, QString contact,
                                            std::optional<QByteArray> screenshot) {
    FeedbackSubmission submission;
    co_return co_await submission.deliver(intent, std::move(message), std::move(contact),
                                          std::move(screenshot));
}

void deliverOutcome(FeedbackIntent intent, QString message, QString contact,
                    std::optional<QByteArray> screenshot, std::function<void(DeliveryOutcome)> done) {
    PlainEntry::run(deliverOutcome(intent, std::move(message), std::move(contact), std::move(screenshot)),
                    std::move(done));
}

QCoro::Task<Delivery> deliver(FeedbackIntent intent, QString message, QString contact,
                              std::optional<QByteArray> screenshot) {
    const DeliveryOutcome result =
        co_await deliverOutcome(intent, std::move(message), std::move(contact), std::move(screenshot));
    if (!result.outcome.isSent())
        co_return Delivery{};
    co_return Delivery{result.outcome.code(), result.screenshotNote};
}

void deliver(FeedbackIntent intent, QString message, QString contact, std::optional<QByteArray> screenshot,
             std::function<void(Delivery)> done) {
    PlainEntry::run(deliver(intent, std::move(message), std::move(contact), std::move(screenshot)),
                    std::move(done));
}

} // namespace Feedback

#include "FeedbackSubmission.h"

#include "Feedback.h"
#include "FeedbackAccount.h"
#include "FeedbackOutbox.h"
#include "FeedbackReport.h"
#include "FeedbackScreenshot.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QUuid>

namespace {

const QString jpegType = QStringLiteral("image/jpeg");

QByteArray serialised(const QJsonObject& report) {
    return QJsonDocument(report).toJson(QJsonDocument::Compact);
}

// Puts an upload's outcome into the report: the address, or the failure in the bundle.
std::optional<Feedback::ScreenshotUploadError> attachUpload(QJsonObject& report,
                                                            const Feedback::ScreenshotUploadResult& upload) {
    QJsonObject bundle = report.value(QLatin1String("bundle")).toObject();
    if (const std::optional<QString> address = upload.address()) {
        report.insert(QLatin1String("screenshot_url"), *address);
        bundle.remove(QLatin1String("screenshot_upload"));
    } else {
        bundle.insert(QLatin1String("screenshot_upload"),
                      QStringLiteral("failed: ") + upload.error()->summary());
    }
    report.insert(QLatin1String("bundle"), bundle);
    return upload.error();
}

QCoro::Task<std::optional<Feedback::ScreenshotUploadError>> uploadInto(QJsonObject& report,
                                                                       QByteArray bytes) {
    const Feedback::ScreenshotUploadResult upload =
        co_await Feedback::uploadScreenshotResult(std::move(bytes), jpegType);
    co_return attachUpload(report, upload);
}

} // namespace

FeedbackSubmission::FeedbackSubmission()
    : reportId_(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()) {}

bool FeedbackSubmission::waitsForLater(const Feedback::ScreenshotUploadError& error) {
    // The snapshot table's "try later", less what a later flush cannot mend either: a picture still
    // too large after shrinking, or an answer without an identifier.
    const HttpVerdict verdict = error.verdict();
    return verdict == HttpVerdict::transportFailure ||
           (verdict == HttpVerdict::tryLater && error.kind() == Feedback::ScreenshotUploadError::Kind::http &&
            error.status() != 413);
}

QCoro::Task<std::optional<Feedback::ScreenshotUploadError>>
FeedbackSubmission::uploadWaitingSnapshot(OutboxEntry& entry) {
    QJsonObject report = entry.report();
    const std::optional<QByteArray> bytes = entry.snapshot();
    // Uploaded by an attempt that ended before it could let the picture go, or unreadable: the report
    // goes as it is.
    if (!report.value(QLatin1String("screenshot_url")).toString().isEmpty() || !bytes || bytes->isEmpty()) {
        entry.dropSnapshot();
        co_return std::nullopt;
    }
    const std::optional<Feedback::ScreenshotUploadError> error = co_await uploadInto(report, *bytes);
    entry.replace(report);
    if (!error || !waitsForLater(*error))
        entry.dropSnapshot();
    co_return error;
}

QCoro::Task<Feedback::DeliveryOutcome> FeedbackSubmission::deliver(FeedbackIntent intent, QString message,
                                                                   QString contact,
                                                                   std::optional<QByteArray> snapshot) {
    if (accepted_)
        co_return Feedback::DeliveryOutcome{*accepted_, std::nullopt};
    if (attempting_ || Feedback::appKey().isEmpty() || Feedback::ingestKey().isEmpty())
        co_return Feedback::DeliveryOutcome{Feedback::SendOutcome::failed(), std::nullopt};
    attempting_ = true;
    // An empty snapshot carries nothing to show; it is treated as no snapshot.
    const bool withSnapshot = snapshot && !snapshot->isEmpty();
    // A snapshot changed since the last upload (more of it blacked out) goes up again: the report
    // must never point at the earlier picture.
    const bool uploadNow = withSnapshot && (!uploadedAddress_ || uploadedSnapshot_ != *snapshot);
    QJsonObject report = Feedback::reportPayload(
        intent, message, contact, withSnapshot ? uploadedAddress_.value_or(QString()) : QString(),
        std::nullopt);
    report.insert(QLatin1String("client_report_id"), reportId_);
    keep(report, uploadNow ? snapshot : std::nullopt);

    std::optional<Feedback::ScreenshotUploadError> uploadError;
    if (uploadNow) {
        uploadError = co_await uploadInto(report, *snapshot);
        if (!uploadError) {
            uploadedAddress_ = report.value(QLatin1String("screenshot_url")).toString();
            uploadedSnapshot_ = *snapshot;
        }
        if (entry_) {
            entry_->replace(report);
            if (!uploadError || !waitsForLater(*uploadError))
                entry_->dropSnapshot();
        }
    }
    const Feedback::SendOutcome outcome = co_await post(report);
    attempting_ = false;
    std::optional<QString> note;
    if (outcome.isSent() && uploadError)
        note = Feedback::screenshotNotAttachedNote();
    co_return Feedback::DeliveryOutcome{outcome, note};
}

QCoro::Task<Feedback::SendOutcome> FeedbackSubmission::send(FeedbackIntent intent, QString message,
                                                            QString contact, QString screenshotURL,
                                                            std::optional<QString> screenshotError) {
    if (accepted_)
        co_return *accepted_;
    if (attempting_ || Feedback::appKey().isEmpty() || Feedback::ingestKey().isEmpty())
        co_return Feedback::SendOutcome::failed();
    attempting_ = true;
    QJsonObject report = Feedback::reportPayload(intent, message, contact, screenshotURL, screenshotError);
    report.insert(QLatin1String("client_report_id"), reportId_);
    keep(report, std::nullopt);
    const Feedback::SendOutcome outcome = co_await post(report);
    attempting_ = false;
    co_return outcome;
}

void FeedbackSubmission::keep(const QJsonObject& report, const std::optional<QByteArray>& snapshot) {
    if (!entry_) {
        entry_ = FeedbackOutbox::create(serialised(report), snapshot);
        return;
    }
    // A failed write leaves the earlier version, which carries the same identity.
    entry_->replace(report);
    if (!snapshot)
        entry_->dropSnapshot();
    else if (!entry_->hasSnapshot())
        entry_->storeSnapshot(*snapshot);
}

QCoro::Task<Feedback::SendOutcome> FeedbackSubmission::post(const QJsonObject& report) {
    // The stored bytes when there are any, so what goes out is exactly what a flush would post.
    QByteArray body = entry_ && entry_->report() == report ? entry_->bytes() : serialised(report);
    const std::optional<QString> token = co_await Feedback::currentAccountToken();
    const Feedback::SendOutcome outcome = co_await Feedback::postOutcome(std::move(body), token);
    if (outcome.isSent()) {
        accepted_ = outcome;
        if (entry_) {
            std::move(*entry_).remove();
            entry_.reset();
        }
        Feedback::recordSubmission(QDateTime::currentDateTimeUtc());
    }
    co_return outcome;
}

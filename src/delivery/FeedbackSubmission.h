#pragma once

#include "morvik_delivery_export.h"

#include "DeliveryOutcome.h"
#include "FeedbackIntent.h"
#include "OutboxEntry.h"
#include "ScreenshotUploadError.h"
#include "SendOutcome.h"

#include <QByteArray>
#include <QCoroTask>
#include <QString>

#include <optional>

// One report the user sends, in as many attempts as it takes. Every attempt posts the same
// client_report_id and replaces the same outbox copy, so a report that failed, was refused and then
// went through is one report at the service and none in the outbox.
//
// Before anything goes on the network the report is in the outbox, with its snapshot stored beside
// it: a process that ends mid-way (the owner closing its pipe, a kill) leaves the report for the next
// flush, which uploads the snapshot first. While the submission exists it holds its outbox copy, so
// no flush posts it behind its back; once it is destroyed a flush may take what is left.
//
// Attempts run on the thread that owns the submission, one at a time.
class MORVIK_DELIVERY_EXPORT FeedbackSubmission {
public:
    FeedbackSubmission();

    // The report's client_report_id, the same for every attempt.
    const QString& reportId() const { return reportId_; }

    // Uploads the snapshot when one is given and not uploaded by an earlier attempt, then posts the
    // report with its address (or with the upload's failure). The note is set when the report was
    // accepted without the snapshot it should have carried.
    QCoro::Task<Feedback::DeliveryOutcome> deliver(FeedbackIntent intent, QString message, QString contact,
                                                   std::optional<QByteArray> snapshot);

    // Posts the report with a snapshot address (or upload failure) the caller already has.
    QCoro::Task<Feedback::SendOutcome> send(FeedbackIntent intent, QString message, QString contact,
                                            QString screenshotURL, std::optional<QString> screenshotError);

    // A snapshot upload that failed in a way that may pass: the picture waits for a later attempt.
    static bool waitsForLater(const Feedback::ScreenshotUploadError& error);

    // Uploads the snapshot waiting beside a stored report and puts the outcome into the report
    // (its address, or the failure). The error when it failed; the snapshot stays only when the
    // failure may pass.
    static QCoro::Task<std::optional<Feedback::ScreenshotUploadError>>
    uploadWaitingSnapshot(OutboxEntry& entry);

private:
    // Stores this version of the report (and the snapshot still to upload) before it goes out.
    void keep(const QJsonObject& report, const std::optional<QByteArray>& snapshot);
    // Posts the report with the account token; an accepted report leaves the outbox.
    QCoro::Task<Feedback::SendOutcome> post(const QJsonObject& report);

    QString reportId_;
    std::optional<OutboxEntry> entry_;
    // The address of the snapshot once an attempt uploaded it, and the bytes that went up; later
    // attempts with the same bytes reuse the address.
    std::optional<QString> uploadedAddress_;
    QByteArray uploadedSnapshot_;
    // Set by the attempt that was accepted; later calls answer with it and post nothing.
    std::optional<Feedback::SendOutcome> accepted_;
    bool attempting_ = false;
};

#pragma once

#include "morvik_delivery_export.h"

#include "FeedbackIntent.h"
#include "SendOutcome.h"

#include <QByteArray>
#include <QCoroTask>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

// Building, posting and re-posting reports to the feedback service's "/report" endpoint.
//
// Every operation that waits for the network is a coroutine that resumes on the calling thread (which
// runs a Qt event loop); each has a plain twin taking a callback, called once on that same thread.
namespace Feedback {

// The report endpoint: the feedback service's base URL with "/report".
MORVIK_DELIVERY_EXPORT QUrl reportEndpoint();

// The report object: app_key, version, platform ("linux"), product, intent, message, contact,
// screenshot_url, bundle and a fresh client_report_id (upper-case UUID).
MORVIK_DELIVERY_EXPORT QJsonObject reportPayload(FeedbackIntent intent, const QString& message,
                                                 const QString& contact, const QString& screenshotURL,
                                                 const std::optional<QString>& screenshotError);

// The diagnostic bundle of a report: app_version, ts, screenshot_upload (with an error), os, thermal,
// channel, diagnostics (from the hook), the bundleExtras entries whose keys are new and whose values
// are JSON, then diag_code and diag_reason from composerDiagCode unless an extra supplied diag_code.
MORVIK_DELIVERY_EXPORT QJsonObject bundle(const std::optional<QString>& screenshotError);

// "unknown": there is no store channel on this platform.
MORVIK_DELIVERY_EXPORT QString distributionChannel();

// Builds the report, keeps it in the outbox, posts it with the account token and classifies the
// answer. Fails at once, leaving nothing behind, while appKey or ingestKey is empty. The outbox copy
// is removed only when the service accepts the report.
MORVIK_DELIVERY_EXPORT QCoro::Task<SendOutcome> sendOutcome(FeedbackIntent intent, QString message,
                                                            QString contact = {}, QString screenshotURL = {},
                                                            std::optional<QString> screenshotError = {});
MORVIK_DELIVERY_EXPORT void sendOutcome(FeedbackIntent intent, QString message, QString contact,
                                        QString screenshotURL, std::optional<QString> screenshotError,
                                        std::function<void(SendOutcome)> done);

// sendOutcome reduced to the reference code of an accepted report.
MORVIK_DELIVERY_EXPORT QCoro::Task<std::optional<QString>> send(FeedbackIntent intent, QString message,
                                                                QString contact = {},
                                                                QString screenshotURL = {},
                                                                std::optional<QString> screenshotError = {});
MORVIK_DELIVERY_EXPORT void send(FeedbackIntent intent, QString message, QString contact,
                                 QString screenshotURL, std::optional<QString> screenshotError,
                                 std::function<void(std::optional<QString>)> done);

// One POST of already serialised report bytes; no outbox handling. The ingest key and the token travel
// only over https or to a loopback address: any other address fails without traffic.
MORVIK_DELIVERY_EXPORT QCoro::Task<SendOutcome> postOutcome(QByteArray body, std::optional<QString> token);
MORVIK_DELIVERY_EXPORT void postOutcome(QByteArray body, std::optional<QString> token,
                                        std::function<void(SendOutcome)> done);

// postOutcome reduced to the reference code.
MORVIK_DELIVERY_EXPORT QCoro::Task<std::optional<QString>> post(QByteArray body,
                                                                std::optional<QString> token);
MORVIK_DELIVERY_EXPORT void post(QByteArray body, std::optional<QString> token,
                                 std::function<void(std::optional<QString>)> done);

// Posts every stored report of this application (its app_key) once, one after the other, without an
// account token; accepted ones leave the outbox, and a snapshot waiting beside a report is uploaded
// first. Reports of other applications wait for their own application; reports that another flush or
// send holds are left to it; entries that are no report are removed. Flushes of one process run one
// after the other. The number accepted in this call; 0 without touching the outbox while appKey or
// ingestKey is empty.
MORVIK_DELIVERY_EXPORT QCoro::Task<int> flushOutbox();
MORVIK_DELIVERY_EXPORT void flushOutbox(std::function<void(int)> done);

// Told the acceptance time whenever the service accepts a report from sendOutcome (the idea nudge
// installs it). Called on the thread that completed the post.
using SubmissionRecorder = std::function<void(const QDateTime& acceptedAt)>;
MORVIK_DELIVERY_EXPORT void setSubmissionRecorder(SubmissionRecorder recorder);
// Tells the installed recorder that a report was accepted.
MORVIK_DELIVERY_EXPORT void recordSubmission(const QDateTime& acceptedAt);

} // namespace Feedback

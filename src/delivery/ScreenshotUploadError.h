#pragma once

#include "morvik_delivery_export.h"

#include "HttpVerdict.h"

#include <QString>

#include <iosfwd>

namespace Feedback {

// Why a snapshot upload failed. Its summary travels in the report's bundle.
class MORVIK_DELIVERY_EXPORT ScreenshotUploadError {
public:
    enum class Kind { http, transport, notConfigured, badResponse, unreadable };

    // The HTTP status the service answered with (0 when the answer was not HTTP).
    static ScreenshotUploadError http(int status);
    // The transport's own description of what went wrong.
    static ScreenshotUploadError transport(const QString& description);
    // The session would not send the request at all (a header with a control character); a transport
    // error that trying again cannot mend.
    static ScreenshotUploadError notSendable(const QString& description);
    static ScreenshotUploadError notConfigured();
    static ScreenshotUploadError badResponse();
    // The snapshot could not be read as a picture, so it was not sent as one.
    static ScreenshotUploadError unreadable();

    Kind kind() const { return kind_; }
    int status() const { return status_; }
    QString description() const { return description_; }

    // "HTTP 503", "network error (...)", "Feedback.appKey is not set",
    // "the hub answered without a screenshot id" or "the snapshot is not a readable image".
    QString summary() const;
    // How the snapshot path reads the failure: an HTTP status through the snapshot table of
    // HttpClassification, a transport error as a transport failure, an answer without an identifier as
    // worth another try, a missing key as refused.
    HttpVerdict verdict() const { return verdict_; }
    // Whether trying again may help, which is exactly when the upload tries again: 408, 413, 429 and
    // 5xx answers, transport errors and answers without an identifier.
    bool retryable() const;

    friend bool operator==(const ScreenshotUploadError& a, const ScreenshotUploadError& b) {
        return a.kind_ == b.kind_ && a.status_ == b.status_ && a.description_ == b.description_ &&
               a.verdict_ == b.verdict_;
    }

private:
    ScreenshotUploadError(Kind kind, int status, QString description, HttpVerdict verdict)
        : kind_(kind)
        , status_(status)
        , description_(std::move(description))
        , verdict_(verdict) {}

    Kind kind_;
    int status_;
    QString description_;
    HttpVerdict verdict_;
};

MORVIK_DELIVERY_EXPORT void PrintTo(const ScreenshotUploadError& error, std::ostream* out);

} // namespace Feedback

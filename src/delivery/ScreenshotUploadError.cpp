#include "ScreenshotUploadError.h"

#include "HttpClassification.h"

#include <ostream>

namespace Feedback {

ScreenshotUploadError ScreenshotUploadError::http(int status) {
    return {Kind::http, status, QString(), HttpClassification::snapshot().verdict(status)};
}
ScreenshotUploadError ScreenshotUploadError::transport(const QString& description) {
    return {Kind::transport, 0, description, HttpVerdict::transportFailure};
}
ScreenshotUploadError ScreenshotUploadError::notSendable(const QString& description) {
    return {Kind::transport, 0, description, HttpVerdict::refused};
}
ScreenshotUploadError ScreenshotUploadError::notConfigured() {
    return {Kind::notConfigured, 0, QString(), HttpVerdict::refused};
}
ScreenshotUploadError ScreenshotUploadError::badResponse() {
    // The service took the bytes but gave no identifier to point at them: another try may get one.
    return {Kind::badResponse, 0, QString(), HttpVerdict::tryLater};
}
ScreenshotUploadError ScreenshotUploadError::unreadable() {
    // Nothing went out: bytes that cannot be read now cannot be read later either.
    return {Kind::unreadable, 0, QString(), HttpVerdict::refused};
}

QString ScreenshotUploadError::summary() const {
    switch (kind_) {
    case Kind::http:
        return QStringLiteral("HTTP %1").arg(status_);
    case Kind::transport:
        return QStringLiteral("network error (%1)").arg(description_);
    case Kind::notConfigured:
        return QStringLiteral("Feedback.appKey is not set");
    case Kind::badResponse:
        return QStringLiteral("the hub answered without a screenshot id");
    case Kind::unreadable:
        return QStringLiteral("the snapshot is not a readable image");
    }
    return {};
}

bool ScreenshotUploadError::retryable() const {
    return verdict_ == HttpVerdict::tryLater || verdict_ == HttpVerdict::transportFailure;
}

void PrintTo(const ScreenshotUploadError& error, std::ostream* out) {
    *out << error.summary().toStdString();
}

} // namespace Feedback

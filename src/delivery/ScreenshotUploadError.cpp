#include "ScreenshotUploadError.h"

#include <ostream>

namespace Feedback {

ScreenshotUploadError ScreenshotUploadError::http(int status) {
    return {Kind::http, status, QString()};
}
ScreenshotUploadError ScreenshotUploadError::transport(const QString& description) {
    return {Kind::transport, 0, description};
}
ScreenshotUploadError ScreenshotUploadError::notConfigured() {
    return {Kind::notConfigured, 0, QString()};
}
ScreenshotUploadError ScreenshotUploadError::badResponse() {
    return {Kind::badResponse, 0, QString()};
}
ScreenshotUploadError ScreenshotUploadError::unreadable() {
    return {Kind::unreadable, 0, QString()};
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
    switch (kind_) {
    case Kind::http:
        return status_ == 408 || status_ == 413 || status_ == 429 || status_ >= 500;
    case Kind::transport:
    case Kind::badResponse:
        return true;
    case Kind::notConfigured:
    case Kind::unreadable:
        return false;
    }
    return false;
}

void PrintTo(const ScreenshotUploadError& error, std::ostream* out) {
    *out << error.summary().toStdString();
}

} // namespace Feedback

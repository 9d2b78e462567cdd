#pragma once

#include "morvik_delivery_export.h"

#include "ScreenshotUploadError.h"

#include <QString>

#include <optional>
#include <variant>

namespace Feedback {

// The result of a snapshot upload: the snapshot's public address, or why it failed.
class MORVIK_DELIVERY_EXPORT ScreenshotUploadResult {
public:
    static ScreenshotUploadResult success(const QString& address) { return ScreenshotUploadResult(address); }
    static ScreenshotUploadResult failure(const ScreenshotUploadError& error) {
        return ScreenshotUploadResult(error);
    }

    bool isSuccess() const { return std::holds_alternative<QString>(value_); }
    std::optional<QString> address() const {
        return isSuccess() ? std::optional<QString>(std::get<QString>(value_)) : std::nullopt;
    }
    std::optional<ScreenshotUploadError> error() const {
        return isSuccess() ? std::nullopt
                           : std::optional<ScreenshotUploadError>(std::get<ScreenshotUploadError>(value_));
    }

    friend bool operator==(const ScreenshotUploadResult& a, const ScreenshotUploadResult& b) {
        return a.value_ == b.value_;
    }

private:
    explicit ScreenshotUploadResult(QString address)
        : value_(std::move(address)) {}
    explicit ScreenshotUploadResult(ScreenshotUploadError error)
        : value_(std::move(error)) {}

    std::variant<QString, ScreenshotUploadError> value_;
};

} // namespace Feedback

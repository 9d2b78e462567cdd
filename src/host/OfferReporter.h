#pragma once

#include "morvik_host_export.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

// The host's view of the feedback offer machine and its screenshot watcher.
class MORVIK_HOST_EXPORT OfferReporter {
public:
    virtual ~OfferReporter() = default;
    // The process whose activeness the screenshot watcher follows.
    virtual void setOwnerProcess(std::optional<std::int32_t> pid) = 0;
    // Called when the owner stops being the active application.
    virtual void setOwnerResigned(std::function<void()> callback) = 0;
    virtual void activate() = 0;
    virtual void dismiss(const QString& reason) = 0;
};

#pragma once

#include "morvik_host_export.h"

#include "FeedbackIntent.h"

#include <QByteArray>

#include <cstdint>
#include <optional>

// Opens the composer window (or brings the open one to the front) for the host's compose command.
class MORVIK_HOST_EXPORT ComposerPresenter {
public:
    virtual ~ComposerPresenter() = default;
    virtual void present(FeedbackIntent intent, std::optional<QByteArray> snapshot) = 0;
    virtual bool isOpen() const = 0;
    // A number for the open composer window, new for each window; 0 when none is open.
    virtual std::uint64_t session() const = 0;
};

#pragma once

#include "FeedbackIntent.h"

#include <QByteArray>

#include <optional>

// Opens the composer window (or brings the open one to the front) for the host's compose command.
class ComposerPresenter {
public:
    virtual ~ComposerPresenter() = default;
    virtual void present(FeedbackIntent intent, std::optional<QByteArray> snapshot) = 0;
    virtual bool isOpen() const = 0;
};

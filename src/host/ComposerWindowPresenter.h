#pragma once

#include "ComposerPresenter.h"

// The host's compose command opens the composer window.
class ComposerWindowPresenter : public ComposerPresenter {
public:
    void present(FeedbackIntent intent, std::optional<QByteArray> snapshot) override;
    bool isOpen() const override;
    std::uint64_t session() const override;
};

#pragma once

#include "morvik_host_windows_export.h"

#include "ComposerPresenter.h"

// The host's compose command opens the composer window.
class MORVIK_HOST_WINDOWS_EXPORT ComposerWindowPresenter : public ComposerPresenter {
public:
    void present(FeedbackIntent intent, std::optional<QByteArray> snapshot) override;
    bool isOpen() const override;
    std::uint64_t session() const override;
};

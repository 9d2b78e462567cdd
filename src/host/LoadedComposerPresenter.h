#pragma once

#include "morvik_host_export.h"

#include "ComposerPresenter.h"
#include "OnDemandLibrary.h"

#include <memory>

// The helper's composer: the windows, Qt Quick and QML live in a library of their own that is loaded
// the first time a composer is presented.
class MORVIK_HOST_EXPORT LoadedComposerPresenter : public ComposerPresenter {
public:
    void present(FeedbackIntent intent, std::optional<QByteArray> snapshot) override;
    bool isOpen() const override;
    std::uint64_t session() const override;

private:
    OnDemandLibrary library_{QStringLiteral("libmorvik_host_windows.so"), "morvik_create_composer_presenter"};
    std::unique_ptr<ComposerPresenter> loaded_;
};

#pragma once

#include "ComposerPresenter.h"

#include <memory>

// The helper's composer: the windows, Qt Quick and QML live in a library of their own that is loaded
// the first time a composer is presented, so that start-up costs no more than a bare application's.
class LoadedComposerPresenter : public ComposerPresenter {
public:
    void present(FeedbackIntent intent, std::optional<QByteArray> snapshot) override;
    bool isOpen() const override;

    // The library's file: next to the helper binary.
    static QString libraryPath();

private:
    ComposerPresenter* load();

    std::unique_ptr<ComposerPresenter> loaded_;
    bool failed_ = false;
};

#include "LoadedComposerPresenter.h"

#include "FeedbackExternalHost.h"

void LoadedComposerPresenter::present(FeedbackIntent intent, std::optional<QByteArray> snapshot) {
    if (!loaded_) {
        FeedbackExternalHost::enableAccessibility();
        loaded_ = library_.create<ComposerPresenter>();
    }
    if (loaded_)
        loaded_->present(intent, std::move(snapshot));
}

bool LoadedComposerPresenter::isOpen() const {
    return loaded_ && loaded_->isOpen();
}

std::uint64_t LoadedComposerPresenter::session() const {
    return loaded_ ? loaded_->session() : 0;
}

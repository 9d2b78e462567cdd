#include "ComposerWindowPresenter.h"

#include "FeedbackComposerWindow.h"

void ComposerWindowPresenter::present(FeedbackIntent intent, std::optional<QByteArray> snapshot) {
    FeedbackComposerWindow::present(intent, std::move(snapshot));
}

bool ComposerWindowPresenter::isOpen() const {
    return FeedbackComposerWindow::isOpen();
}

std::uint64_t ComposerWindowPresenter::session() const {
    return FeedbackComposerWindow::openSession();
}

// The entry point the helper resolves after loading this library on its first composer window.
extern "C" MORVIK_HOST_WINDOWS_EXPORT ComposerPresenter* morvik_create_composer_presenter() {
    return new ComposerWindowPresenter;
}

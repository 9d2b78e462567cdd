#include "ComposerWindowPresenter.h"

#include "FeedbackComposerWindow.h"

void ComposerWindowPresenter::present(FeedbackIntent intent, std::optional<QByteArray> snapshot) {
    FeedbackComposerWindow::present(intent, std::move(snapshot));
}

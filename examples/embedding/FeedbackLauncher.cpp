#include "FeedbackLauncher.h"

#include <MorvikFeedback/FeedbackComposerWindow.h>

void FeedbackLauncher::compose() {
    // No snapshot of our own window here; an application may pass one (PNG or JPEG bytes).
    FeedbackComposerWindow::present(FeedbackIntent::idea, std::nullopt);
}

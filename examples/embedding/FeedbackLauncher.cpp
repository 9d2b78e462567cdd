#include "FeedbackLauncher.h"

#include <MorvikFeedback/FeedbackComposerWindow.h>
#include <MorvikFeedback/FeedbackRecords.h>
#include <MorvikFeedback/FleetFeature.h>

#include <system_error>

void FeedbackLauncher::compose() {
    // No snapshot of our own window here; an application may pass one (PNG or JPEG bytes).
    FeedbackComposerWindow::present(FeedbackIntent::idea, std::nullopt);
}

void FeedbackLauncher::exportMap() {
    Feedback::tried(FleetFeature::exporting);
    if (++exports_ % 2 == 1) {
        Feedback::failed(FleetFeature::exporting, QStringLiteral("disk_full"));
        status_ = QStringLiteral("The export failed (recorded).");
    } else {
        Feedback::succeeded(FleetFeature::exporting);
        status_ = QStringLiteral("Exported (recorded).");
    }
    Q_EMIT statusChanged();
}

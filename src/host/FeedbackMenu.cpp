#include "FeedbackMenu.h"

#include "FeedbackTranslations.h"

#include "Deferred.h"
#include "Feedback.h"
#include "FeedbackBannerPanel.h"
#include "FeedbackComposerWindow.h"
#include "FeedbackWindowSnapshot.h"

#include <QAction>
#include <QCoroTask>
#include <QQuickWindow>

namespace {

FeedbackMenu::AnchorWindow& anchorHook() {
    static FeedbackMenu::AnchorWindow hook;
    return hook;
}

// The window the banner would belong to (never the composer or the banner), when it is a Qt Quick
// window that can be drawn into a picture.
QQuickWindow* anchorQuickWindow() {
    return qobject_cast<QQuickWindow*>(FeedbackBannerPanel::anchorWindow());
}

QCoro::Task<> presentWithSnapshot(std::optional<QByteArray> local) {
    // In the helper the provider asks the owner, which takes up to a few seconds.
    std::optional<QByteArray> provided = co_await Deferred<std::optional<QByteArray>>::run(
        [provider = Feedback::snapshotProvider()](Feedback::Completion<std::optional<QByteArray>> done) {
            provider(std::move(done));
        });
    FeedbackComposerWindow::present(FeedbackIntent::idea, provided ? std::move(provided) : std::move(local));
}

} // namespace

QString FeedbackMenu::defaultTitle() {
    FeedbackTranslations::install();
    return tr("Send Feedback…");
}

QAction* FeedbackMenu::item(const QString& title) {
    auto* action = new QAction(title);
    QObject::connect(action, &QAction::triggered, &target(), &FeedbackMenu::open);
    return action;
}

void FeedbackMenu::setAnchorWindow(AnchorWindow anchor) {
    anchorHook() = std::move(anchor);
}

FeedbackMenu& FeedbackMenu::target() {
    static FeedbackMenu* menu = new FeedbackMenu;
    return *menu;
}

void FeedbackMenu::open() {
    QQuickWindow* anchor = anchorHook() ? anchorHook()() : anchorQuickWindow();
    std::optional<QByteArray> local = anchor ? Feedback::captureWindowSnapshot(anchor) : std::nullopt;
    if (!Feedback::snapshotProvider()) {
        FeedbackComposerWindow::present(FeedbackIntent::idea, std::move(local));
        return;
    }
    presentWithSnapshot(std::move(local));
}

#include "FeedbackBannerView.h"

#include "Feedback.h"

FeedbackBannerView::FeedbackBannerView(FeedbackReporter& reporter, QObject* parent)
    : QObject(parent)
    , reporter_(reporter) {
    connect(&reporter_, &FeedbackReporter::phaseChanged, this, &FeedbackBannerView::phaseChanged);
}

QString FeedbackBannerView::symbol() const {
    const FeedbackReporter::Phase phase = reporter_.phase();
    if (!phase)
        return QString();
    return *phase == FeedbackReporter::Trigger::shake
               ? QStringLiteral("iphone.gen3.radiowaves.left.and.right")
               : QStringLiteral("camera.viewfinder");
}

QString FeedbackBannerView::title() const {
    const FeedbackReporter::Phase phase = reporter_.phase();
    if (!phase)
        return QString();
    return *phase == FeedbackReporter::Trigger::shake ? tr("Shake detected") : tr("Screenshot taken");
}

QString FeedbackBannerView::subtitle() const {
    return tr("Ideas we build and bugs we confirm earn $10.");
}

QColor FeedbackBannerView::accent() const {
    return Feedback::effectiveAccentColor();
}

QColor FeedbackBannerView::accentInk() const {
    return Feedback::accentInk(accent());
}

QColor FeedbackBannerView::capsule() {
    return QColor::fromRgbF(0.1f, 0.11f, 0.145f);
}

QColor FeedbackBannerView::subtitleInk() {
    return QColor::fromRgbF(0.659f, 0.675f, 0.722f);
}

void FeedbackBannerView::tellUs() {
    reporter_.act();
}

void FeedbackBannerView::close() {
    reporter_.dismiss(QStringLiteral("user"));
}

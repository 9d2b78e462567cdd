#include "FeedbackSheetOpener.h"

#include "Feedback.h"
#include "FeedbackWindowSnapshot.h"
#include "PlainEntry.h"

#include <QPointer>

#include <algorithm>
#include <optional>

FeedbackSheetOpener::FeedbackSheetOpener(QObject* parent)
    : QObject(parent) {}

void FeedbackSheetOpener::setCaptureLimit(int milliseconds) {
    milliseconds = std::max(0, milliseconds);
    if (captureLimit_ == milliseconds)
        return;
    captureLimit_ = milliseconds;
    Q_EMIT captureLimitChanged();
}

QColor FeedbackSheetOpener::accent() const {
    return Feedback::effectiveAccentColor();
}

void FeedbackSheetOpener::request(int intent) {
    const std::uint64_t request = ++requests_;
    if (!Feedback::capturesSnapshot()) {
        setCapturing(false);
        setSnapshot({});
        Q_EMIT ready(intent);
        return;
    }
    setCapturing(true);
    QPointer<FeedbackSheetOpener> self(this);
    PlainEntry::run(Feedback::captureSnapshotWithin(std::chrono::milliseconds(captureLimit_)),
                    [self, request, intent](std::optional<QByteArray> snapshot) {
                        // Gone, replaced or withdrawn meanwhile: the picture is not wanted.
                        if (!self || self->requests_ != request)
                            return;
                        self->setCapturing(false);
                        self->setSnapshot(snapshot.value_or(QByteArray()));
                        Q_EMIT self->ready(intent);
                    });
}

void FeedbackSheetOpener::cancel() {
    ++requests_;
    setCapturing(false);
}

void FeedbackSheetOpener::setSnapshot(const QByteArray& snapshot) {
    if (snapshot_ == snapshot)
        return;
    snapshot_ = snapshot;
    Q_EMIT snapshotChanged();
}

void FeedbackSheetOpener::setCapturing(bool capturing) {
    if (capturing_ == capturing)
        return;
    capturing_ = capturing;
    Q_EMIT capturingChanged();
}

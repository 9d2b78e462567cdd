#pragma once

#include "morvik_composer_export.h"

#include <QByteArray>
#include <QColor>
#include <QObject>
#include <QtQml/qqmlregistration.h>

#include <chrono>
#include <cstdint>

// What every in-app entry point does before its composer sheet opens. When snapshots are captured,
// the snapshot is taken first (the snapshot provider's picture, else the application's focused
// window), while the application's screen is still unobscured; then ready() tells the sheet to open
// with it. When they are not, the sheet opens at once with no snapshot: a picture left from an
// earlier capture is dropped, so a report never carries a screen the user did not mean to send.
//
// A provider that never answers holds the sheet for at most captureLimit, then it opens without a
// snapshot. A new request replaces one still capturing; cancel() withdraws it.
class MORVIK_COMPOSER_EXPORT FeedbackSheetOpener : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QByteArray snapshot READ snapshot NOTIFY snapshotChanged)
    Q_PROPERTY(bool capturing READ capturing NOTIFY capturingChanged)
    // Milliseconds the capture may take before the sheet opens without it.
    Q_PROPERTY(int captureLimit READ captureLimit WRITE setCaptureLimit NOTIFY captureLimitChanged)
    // The configured accent, for the entry points' symbols and focus rings.
    Q_PROPERTY(QColor accent READ accent CONSTANT)

public:
    static constexpr std::chrono::milliseconds defaultCaptureLimit{3000};

    explicit FeedbackSheetOpener(QObject* parent = nullptr);

    QByteArray snapshot() const { return snapshot_; }
    bool capturing() const { return capturing_; }
    int captureLimit() const { return captureLimit_; }
    void setCaptureLimit(int milliseconds);
    QColor accent() const;

    // Prepares the sheet for an intent (FeedbackView.Idea, Bug or Praise); ready(intent) follows,
    // at once or after the capture.
    Q_INVOKABLE void request(int intent);
    // Withdraws a request still capturing: its ready() never comes.
    Q_INVOKABLE void cancel();

Q_SIGNALS:
    void ready(int intent);
    void snapshotChanged();
    void capturingChanged();
    void captureLimitChanged();

private:
    void setSnapshot(const QByteArray& snapshot);
    void setCapturing(bool capturing);

    QByteArray snapshot_;
    bool capturing_ = false;
    int captureLimit_ = int(defaultCaptureLimit.count());
    // Numbers the requests: only the newest one's capture is applied.
    std::uint64_t requests_ = 0;
};

#pragma once

#include "morvik_composer_export.h"

#include "FeedbackReporter.h"

#include <QColor>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

// The offer banner's view model: what the dark capsule shows while the reporter offers (the trigger's
// symbol and title, the reward line, "Tell us" and the close button) and its two actions.
// FeedbackBanner.qml draws it. It follows the reporter's phase: while the reporter is idle it shows
// nothing. The accent is read afresh on each phase change, so a banner made once shows the accent the
// application set last.
//
// Main thread only.
class MORVIK_COMPOSER_EXPORT FeedbackBannerView : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the banner panel")

    Q_PROPERTY(bool offering READ offering NOTIFY phaseChanged)
    Q_PROPERTY(QString symbol READ symbol NOTIFY phaseChanged)
    Q_PROPERTY(QString title READ title NOTIFY phaseChanged)
    Q_PROPERTY(QString subtitle READ subtitle CONSTANT)
    Q_PROPERTY(QColor accent READ accent NOTIFY phaseChanged)
    Q_PROPERTY(QColor accentInk READ accentInk NOTIFY phaseChanged)
    Q_PROPERTY(QColor capsule READ capsule CONSTANT)
    Q_PROPERTY(QColor subtitleInk READ subtitleInk CONSTANT)

public:
    explicit FeedbackBannerView(FeedbackReporter& reporter = FeedbackReporter::shared(),
                                QObject* parent = nullptr);

    bool offering() const { return reporter_.offering(); }
    // "camera.viewfinder" for a screenshot, "iphone.gen3.radiowaves.left.and.right" for a shake;
    // empty while idle.
    QString symbol() const;
    // "Screenshot taken" or "Shake detected"; empty while idle.
    QString title() const;
    QString subtitle() const;
    QColor accent() const;
    QColor accentInk() const;
    // The capsule's fill and the reward line's colour.
    static QColor capsule();
    static QColor subtitleInk();

    // "Tell us": the reporter takes the offer (its handler, or the composer).
    Q_INVOKABLE void tellUs();
    // The close button: the offer is withdrawn by the user.
    Q_INVOKABLE void close();

Q_SIGNALS:
    void phaseChanged();

private:
    FeedbackReporter& reporter_;
};

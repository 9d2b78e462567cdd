#include "FeedbackReporter.h"

#include "Deferred.h"
#include "Feedback.h"
#include "FeedbackLogging.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QPointer>

namespace {

void log(const QString& line) {
    qCInfo(lcFeedbackOffers).noquote() << line;
}

// Asks the provider and hands its answer back to the reporter, if the reporter is still there.
QCoro::Task<> takeProviderSnapshot(QPointer<FeedbackReporter> reporter, Feedback::SnapshotProvider provider,
                                   std::function<void(FeedbackReporter*, std::optional<QByteArray>)> apply) {
    // Made before it is awaited: GCC 12 destroys a temporary std::function inside a co_await twice.
    QCoro::Task<std::optional<QByteArray>> answer =
        Deferred<std::optional<QByteArray>>::run(std::move(provider));
    std::optional<QByteArray> bytes = co_await answer;
    if (reporter)
        apply(reporter.data(), std::move(bytes));
}

} // namespace

QString FeedbackReporter::rawValue(Trigger trigger) {
    return trigger == Trigger::screenshot ? QStringLiteral("screenshot") : QStringLiteral("shake");
}

std::optional<FeedbackReporter::Trigger> FeedbackReporter::trigger(const QString& rawValue) {
    if (rawValue == QLatin1String("screenshot"))
        return Trigger::screenshot;
    if (rawValue == QLatin1String("shake"))
        return Trigger::shake;
    return std::nullopt;
}

FeedbackReporter& FeedbackReporter::shared() {
    static FeedbackReporter* reporter = new FeedbackReporter; // lives as long as the process
    return *reporter;
}

FeedbackReporter::FeedbackReporter()
    : clock_([] { return std::chrono::steady_clock::now(); }) {
    dismissTimer_.setSingleShot(true);
    dismissTimer_.setInterval(defaultDismissDelay);
    connect(&dismissTimer_, &QTimer::timeout, this, [this] { dismiss(QStringLiteral("timed out")); });
    snapshotWait_.setSingleShot(true);
    snapshotWait_.setInterval(defaultSnapshotWait);
    // The picture did not come in time: the composer opens with what the offer has.
    connect(&snapshotWait_, &QTimer::timeout, this, [this] {
        if (awaitingSnapshot_)
            openComposer();
    });
    watcher_.setOnScreenshot([self = QPointer<FeedbackReporter>(this)] {
        if (self)
            self->offer(Trigger::screenshot);
    });
    // While the watcher collects a screenshot's file events, the banner gets ready, so that it comes up
    // as soon as the offer is taken.
    watcher_.setOnScreenshotLikely([self = QPointer<FeedbackReporter>(this)] {
        if (self && self->surfaces_.prepareBanner && !muted() && !self->awaitingSnapshot_ &&
            !(self->surfaces_.composerIsOpen && self->surfaces_.composerIsOpen()))
            self->surfaces_.prepareBanner();
    });
}

void FeedbackReporter::setSurfaces(Surfaces surfaces) {
    surfaces_ = std::move(surfaces);
}

void FeedbackReporter::setClock(Clock clock) {
    clock_ = std::move(clock);
}

void FeedbackReporter::setDismissDelay(std::chrono::milliseconds delay) {
    dismissTimer_.setInterval(delay);
}

void FeedbackReporter::setSnapshotWait(std::chrono::milliseconds wait) {
    snapshotWait_.setInterval(wait);
}

bool FeedbackReporter::environmentOffers(const QProcessEnvironment& environment,
                                         const QStringList& arguments) {
    return environment.value(QStringLiteral("FEEDBACK_QA_OFFER")) == QLatin1String("1") ||
           arguments.contains(QStringLiteral("-FeedbackQAOffer"));
}

void FeedbackReporter::activate() {
    FeedbackReporter& reporter = shared();
    reporter.watcher_.start();
    if (reporter.surfaces_.refreshRewards)
        reporter.surfaces_.refreshRewards();
    if (environmentOffers(QProcessEnvironment::systemEnvironment(), QCoreApplication::arguments()))
        QTimer::singleShot(qaOfferDelay, &reporter, [&reporter] { reporter.offer(Trigger::screenshot); });
}

bool FeedbackReporter::environmentMutes(const QProcessEnvironment& environment,
                                        const QStringList& arguments) {
    return environment.value(QStringLiteral("FEEDBACK_QA_MUTE")) == QLatin1String("1") ||
           arguments.contains(QStringLiteral("-FeedbackQAMute"));
}

bool FeedbackReporter::muted() {
    if (const std::optional<bool> setting = Feedback::suppressPrompts())
        return *setting;
    static const bool fromEnvironment =
        environmentMutes(QProcessEnvironment::systemEnvironment(), QCoreApplication::arguments());
    return fromEnvironment;
}

void FeedbackReporter::offer(Trigger trigger) {
    const QString name = rawValue(trigger);
    if (muted()) {
        log(name + QStringLiteral(": feedback banner MUTED"));
        return;
    }
    // A composer about to open (waiting for its picture) counts as open.
    if (awaitingSnapshot_ || (surfaces_.composerIsOpen && surfaces_.composerIsOpen())) {
        log(name + QStringLiteral(": composer already open, no banner"));
        return;
    }
    const auto now = clock_();
    if (lastOfferedAt_ && now - *lastOfferedAt_ <= offerSpacing)
        return;
    lastOfferedAt_ = now;
    ++offerNumber_;
    log(name + QStringLiteral(": taken, feedback offered"));
    setSnapshot(surfaces_.captureAnchorWindow ? surfaces_.captureAnchorWindow() : std::nullopt);
    askSnapshotProvider();
    setPhase(trigger);
    if (surfaces_.showBanner)
        surfaces_.showBanner();
    dismissTimer_.start();
}

void FeedbackReporter::askSnapshotProvider() {
    providerPending_ = false;
    Feedback::SnapshotProvider provider = Feedback::snapshotProvider();
    if (!provider)
        return;
    providerPending_ = true;
    const std::uint64_t offer = offerNumber_;
    takeProviderSnapshot(QPointer<FeedbackReporter>(this), std::move(provider),
                         [offer](FeedbackReporter* reporter, std::optional<QByteArray> bytes) {
                             reporter->providerAnswered(offer, std::move(bytes));
                         });
}

void FeedbackReporter::providerAnswered(std::uint64_t offer, std::optional<QByteArray> bytes) {
    const bool forLatestOffer = offer == offerNumber_;
    if (forLatestOffer)
        providerPending_ = false;
    // The owner's picture replaces the window capture of whatever offer is on screen (or waiting for
    // it); once the offer is gone, it is dropped.
    if (bytes && (offering() || (awaitingSnapshot_ && forLatestOffer)))
        setSnapshot(std::move(bytes));
    if (awaitingSnapshot_ && forLatestOffer)
        openComposer();
}

void FeedbackReporter::dismiss(const QString& reason) {
    if (!offering())
        return;
    dismissTimer_.stop();
    log(QStringLiteral("feedback: banner dismissed (%1)").arg(reason));
    setPhase(std::nullopt);
    setSnapshot(std::nullopt);
    if (surfaces_.hideBanner)
        surfaces_.hideBanner();
}

void FeedbackReporter::act() {
    if (!offering())
        return;
    dismissTimer_.stop();
    setPhase(std::nullopt);
    if (surfaces_.hideBanner)
        surfaces_.hideBanner();
    if (handler_) {
        // The snapshot stays for the handler to read.
        log(QStringLiteral("feedback: handing off to the surface's own reporting sheet"));
        handler_();
        return;
    }
    log(QStringLiteral("feedback: opening the sheet (comment + optional diagnostics)"));
    Feedback::setComposerDiagCode(std::nullopt);
    if (providerPending_) {
        // The owner's picture of what the user just saw is on its way: opening without it would
        // throw it away.
        awaitingSnapshot_ = true;
        snapshotWait_.start();
        return;
    }
    openComposer();
}

void FeedbackReporter::openComposer() {
    awaitingSnapshot_ = false;
    snapshotWait_.stop();
    if (surfaces_.presentComposer)
        surfaces_.presentComposer(FeedbackIntent::idea, snapshot_);
    setSnapshot(std::nullopt);
    requestDiagnostics(surfaces_.composerSession ? surfaces_.composerSession() : 0);
}

void FeedbackReporter::requestDiagnostics(std::uint64_t composerSession) {
    const Feedback::DiagnosticsUploader uploader = Feedback::diagnosticsUploader();
    if (!uploader)
        return;
    // The answer may come on any thread; the code and the line are handled on ours. The code goes
    // only to the composer it was asked for: one closed (or replaced) meanwhile never passes it on to
    // an unrelated report.
    QPointer<FeedbackReporter> self(this);
    uploader(QStringLiteral("user-report"), [self, composerSession](std::optional<QString> code) {
        QMetaObject::invokeMethod(QCoreApplication::instance(), [self, code, composerSession] {
            if (!self)
                return;
            if (!code) {
                log(QStringLiteral("feedback: diagnostics bundle upload FAILED (sheet unaffected)"));
                return;
            }
            log(QStringLiteral("feedback: diagnostics bundle uploaded, code=%1").arg(*code));
            const auto& session = self->surfaces_.composerSession;
            if (!session || (composerSession != 0 && session() == composerSession))
                Feedback::setComposerDiagCode(code);
        });
    });
}

void FeedbackReporter::setHandler(const QString& key, std::function<void()> handler) {
    if (handler) {
        handlerKey_ = key;
        handler_ = std::move(handler);
    } else if (handlerKey_ == key) {
        handlerKey_.reset();
        handler_ = nullptr;
    }
}

void FeedbackReporter::resetForTesting() {
    dismissTimer_.stop();
    snapshotWait_.stop();
    awaitingSnapshot_ = false;
    providerPending_ = false;
    setPhase(std::nullopt);
    setSnapshot(std::nullopt);
    lastOfferedAt_.reset();
    if (surfaces_.hideBanner)
        surfaces_.hideBanner();
}

void FeedbackReporter::setPhase(Phase phase) {
    if (phase == phase_)
        return;
    phase_ = phase;
    Q_EMIT phaseChanged();
}

void FeedbackReporter::setSnapshot(std::optional<QByteArray> snapshot) {
    if (snapshot == snapshot_)
        return;
    snapshot_ = std::move(snapshot);
    Q_EMIT snapshotChanged();
}

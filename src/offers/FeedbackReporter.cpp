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

// The provider's answer replaces the window capture, if an offer is still on screen when it comes.
QCoro::Task<> takeProviderSnapshot(QPointer<FeedbackReporter> reporter, Feedback::SnapshotProvider provider,
                                   std::function<void(FeedbackReporter*, QByteArray)> apply) {
    // Made before it is awaited: GCC 12 destroys a temporary std::function inside a co_await twice.
    QCoro::Task<std::optional<QByteArray>> answer =
        Deferred<std::optional<QByteArray>>::run(std::move(provider));
    const std::optional<QByteArray> bytes = co_await answer;
    if (bytes && reporter && reporter->offering())
        apply(reporter.data(), *bytes);
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
    watcher_.setOnScreenshot([self = QPointer<FeedbackReporter>(this)] {
        if (self)
            self->offer(Trigger::screenshot);
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
    if (surfaces_.composerIsOpen && surfaces_.composerIsOpen()) {
        log(name + QStringLiteral(": composer already open, no banner"));
        return;
    }
    const auto now = clock_();
    if (lastOfferedAt_ && now - *lastOfferedAt_ <= offerSpacing)
        return;
    lastOfferedAt_ = now;
    log(name + QStringLiteral(": taken, feedback offered"));
    setSnapshot(surfaces_.captureAnchorWindow ? surfaces_.captureAnchorWindow() : std::nullopt);
    askSnapshotProvider();
    setPhase(trigger);
    if (surfaces_.showBanner)
        surfaces_.showBanner();
    dismissTimer_.start();
}

void FeedbackReporter::askSnapshotProvider() {
    Feedback::SnapshotProvider provider = Feedback::snapshotProvider();
    if (!provider)
        return;
    takeProviderSnapshot(
        QPointer<FeedbackReporter>(this), std::move(provider),
        [](FeedbackReporter* reporter, QByteArray bytes) { reporter->setSnapshot(std::move(bytes)); });
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
    if (surfaces_.presentComposer)
        surfaces_.presentComposer(FeedbackIntent::idea, snapshot_);
    setSnapshot(std::nullopt);
    if (const Feedback::DiagnosticsUploader uploader = Feedback::diagnosticsUploader()) {
        // The answer may come on any thread; the code and the line are handled on ours.
        QPointer<FeedbackReporter> self(this);
        uploader(QStringLiteral("user-report"), [self](std::optional<QString> code) {
            QMetaObject::invokeMethod(QCoreApplication::instance(), [self, code] {
                if (!self)
                    return;
                if (code) {
                    Feedback::setComposerDiagCode(code);
                    log(QStringLiteral("feedback: diagnostics bundle uploaded, code=%1").arg(*code));
                } else {
                    log(QStringLiteral("feedback: diagnostics bundle upload FAILED (sheet unaffected)"));
                }
            });
        });
    }
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

#pragma once

#include "morvik_offers_export.h"

#include "FeedbackIntent.h"
#include "FeedbackScreenshotWatcher.h"

#include <QByteArray>
#include <QObject>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

// Decides when the feedback banner is offered, keeps the state of that offer and carries out the
// banner's two actions. One per process (shared()); main thread only.
//
// An offer (a screenshot just taken, or a shake an embedding application reports) is dropped while
// prompts are muted, while a composer is open, and within 2 seconds of the previous offer taken; a
// taken offer captures a snapshot, shows the banner and withdraws itself after 8 seconds unless the
// user acts. "Tell us" hands over to the surface's own handler, or opens the composer with the
// snapshot and asks for a diagnostics bundle in the background.
//
// The 2-second spacing is measured on a monotonic clock: a wall clock set back never silences offers.
// The banner, the composer and the window snapshot are reached through the Surfaces the host installs;
// without them an offer still runs its rules and logs its lines.
class MORVIK_OFFERS_EXPORT FeedbackReporter : public QObject {
    Q_OBJECT
public:
    enum class Trigger { screenshot, shake };
    // "screenshot", "shake"; and back (nothing for any other text).
    static QString rawValue(Trigger trigger);
    static std::optional<Trigger> trigger(const QString& rawValue);

    // Nothing while idle; the trigger of the offer on screen otherwise.
    using Phase = std::optional<Trigger>;

    // How the reporter reaches the rest of the system.
    struct Surfaces {
        // Makes the banner ready to show at once (a screenshot is probably about to be offered).
        std::function<void()> prepareBanner;
        std::function<void()> showBanner;
        std::function<void()> hideBanner;
        // A picture of the window the banner belongs to, or nothing.
        std::function<std::optional<QByteArray>()> captureAnchorWindow;
        std::function<bool()> composerIsOpen;
        std::function<void(FeedbackIntent, std::optional<QByteArray>)> presentComposer;
        // Which composer window is open (0 for none): a diagnostics code belongs to the composer it
        // was asked for. Without it any open composer takes the code.
        std::function<std::uint64_t()> composerSession;
        // Starts a background refresh of the reward wording.
        std::function<void()> refreshRewards;
    };

    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    static constexpr std::chrono::milliseconds offerSpacing{2000};
    static constexpr std::chrono::milliseconds defaultDismissDelay{8000};
    // The QA switch's offer follows each activation after this long.
    static constexpr std::chrono::milliseconds qaOfferDelay{2000};
    // "Tell us" pressed while the owner's picture for the offer is on its way waits this long for it.
    static constexpr std::chrono::milliseconds defaultSnapshotWait{3000};

    static FeedbackReporter& shared();

    // The screenshot watcher, created with the reporter: each screenshot it accepts is offered.
    FeedbackScreenshotWatcher& watcher() { return watcher_; }

    void setSurfaces(Surfaces surfaces);
    // The monotonic clock of the spacing rule; tests install their own.
    void setClock(Clock clock);
    // The auto-dismiss delay; tests shorten it.
    void setDismissDelay(std::chrono::milliseconds delay);
    // How long "Tell us" waits for a pending snapshot; tests shorten it.
    void setSnapshotWait(std::chrono::milliseconds wait);

    // Starts the offer machinery: the screenshot watcher (once), a refresh of the reward wording, and,
    // with the QA switch (FEEDBACK_QA_OFFER exactly "1", or the argument "-FeedbackQAOffer"), one
    // screenshot offer 2 seconds later. Every call does the last two again.
    static void activate();
    static bool environmentOffers(const QProcessEnvironment& environment, const QStringList& arguments);

    Phase phase() const { return phase_; }
    bool offering() const { return phase_.has_value(); }
    const std::optional<QByteArray>& snapshot() const { return snapshot_; }

    // Whether offers are muted: the application's setting when it made one, else the QA switch of the
    // process (FEEDBACK_QA_MUTE exactly "1", or the argument "-FeedbackQAMute").
    static bool muted();
    static bool environmentMutes(const QProcessEnvironment& environment, const QStringList& arguments);

    void offer(Trigger trigger);
    // "Tell us".
    void act();
    void dismiss(const QString& reason);
    // Registers the surface's own reporting action under a key; without a handler, removes the one
    // registered under that key and no other.
    void setHandler(const QString& key, std::function<void()> handler);
    // Back to the initial offer state; the handler stays registered.
    void resetForTesting();

signals:
    void phaseChanged();
    void snapshotChanged();

private:
    FeedbackReporter();
    void setPhase(Phase phase);
    void setSnapshot(std::optional<QByteArray> snapshot);
    void askSnapshotProvider();
    void providerAnswered(std::uint64_t offer, std::optional<QByteArray> bytes);
    void openComposer();
    void requestDiagnostics(std::uint64_t composerSession);

    Phase phase_;
    std::optional<QByteArray> snapshot_;
    std::optional<std::chrono::steady_clock::time_point> lastOfferedAt_;
    QTimer dismissTimer_;
    // Each taken offer's number; the provider's answer names the offer it was asked for.
    std::uint64_t offerNumber_ = 0;
    // The provider has not answered for the offer numbered offerNumber_ yet.
    bool providerPending_ = false;
    // "Tell us" was pressed before that answer came: the composer opens when it comes (or at
    // snapshotWait_).
    bool awaitingSnapshot_ = false;
    QTimer snapshotWait_;
    std::optional<QString> handlerKey_;
    std::function<void()> handler_;
    Surfaces surfaces_;
    Clock clock_;
    FeedbackScreenshotWatcher watcher_;
};

// The offer state machine with a clock of the test's own, short timers and recording surfaces.
#include "FeedbackReporter.h"
#include "Feedback.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <thread>

using namespace std::chrono_literals;
using Trigger = FeedbackReporter::Trigger;

namespace {

class FeedbackReporterTest : public ::testing::Test {
protected:
    void SetUp() override {
        Feedback::resetForTests();
        Feedback::setLogHandler([this](const QString& line) { lines.append(line); });
        reporter.setClock([this] { return now; });
        reporter.setDismissDelay(200ms);
        reporter.setSurfaces({
            [this] { ++prepared; },
            [this] { ++shown; },
            [this] { ++hidden; },
            [] { return std::optional<QByteArray>("window"); },
            [this] { return composerOpen; },
            [this](FeedbackIntent intent, std::optional<QByteArray> snapshot) {
                presented.append({intent, snapshot});
                ++session;
            },
            [this] { return session; },
            [this] { ++refreshes; },
        });
    }
    void TearDown() override {
        reporter.resetForTesting();
        reporter.setHandler(QStringLiteral("test"), nullptr);
        reporter.setSurfaces({});
        reporter.setClock([] { return std::chrono::steady_clock::now(); });
        reporter.setDismissDelay(FeedbackReporter::defaultDismissDelay);
        Feedback::resetForTests();
    }

    static bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s) {
        QDeadlineTimer deadline(timeout);
        while (!done() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return done();
    }
    // Lets the event loop run for a while (timers of the reporter included).
    static void spin(std::chrono::milliseconds duration) {
        QDeadlineTimer deadline(duration);
        while (!deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }

    FeedbackReporter& reporter = FeedbackReporter::shared();
    std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
    QStringList lines;
    int prepared = 0;
    int shown = 0;
    int hidden = 0;
    bool composerOpen = false;
    std::uint64_t session = 0; // the open composer's number; a new one per presentation
    int refreshes = 0;
    struct Presented {
        FeedbackIntent intent;
        std::optional<QByteArray> snapshot;
    };
    QList<Presented> presented;
};

TEST_F(FeedbackReporterTest, OffersAreSpacedMoreThanTwoSecondsOnTheMonotonicClock) {
    const struct {
        std::chrono::milliseconds after;
        bool taken;
    } steps[] = {{0ms, true}, {1500ms, false}, {500ms, false}, {1ms, true}, {2001ms, true}, {2000ms, false}};
    for (const auto& step : steps) {
        now += step.after;
        const int before = shown;
        reporter.offer(Trigger::screenshot);
        EXPECT_EQ(shown - before, step.taken ? 1 : 0) << "after " << step.after.count() << " ms";
    }
    // Only taken offers log, and a dropped one says nothing at all.
    EXPECT_EQ(lines.count(QStringLiteral("screenshot: taken, feedback offered")), 3);
    EXPECT_EQ(lines.size(), 3);
}

TEST_F(FeedbackReporterTest, MutedOrComposerOpenLeavesThePhaseAndTheSpacingAlone) {
    Feedback::setSuppressPrompts(true);
    reporter.offer(Trigger::shake);
    EXPECT_FALSE(reporter.offering());
    composerOpen = true;
    Feedback::setSuppressPrompts(false);
    reporter.offer(Trigger::screenshot);
    EXPECT_FALSE(reporter.offering());
    composerOpen = false;
    // Neither set the time of the last offer: the next one is taken at once.
    reporter.offer(Trigger::screenshot);
    EXPECT_EQ(reporter.phase(), FeedbackReporter::Phase(Trigger::screenshot));
    EXPECT_EQ(lines,
              (QStringList{"shake: feedback banner MUTED", "screenshot: composer already open, no banner",
                           "screenshot: taken, feedback offered"}));
}

TEST_F(FeedbackReporterTest, QaSwitchMutesOnlyWithExactlyOne) {
    const struct {
        const char* value;
        QStringList arguments;
        bool mutes;
    } cases[] = {
        {"1", {}, true},
        {"true", {}, false},
        {"", {}, false},
        {nullptr, {"app", "-FeedbackQAMute"}, true},
        {nullptr, {"app", "-FeedbackQAMuted"}, false},
    };
    for (const auto& c : cases) {
        QProcessEnvironment environment;
        if (c.value)
            environment.insert(QStringLiteral("FEEDBACK_QA_MUTE"), QString::fromLatin1(c.value));
        EXPECT_EQ(FeedbackReporter::environmentMutes(environment, c.arguments), c.mutes)
            << (c.value ? c.value : c.arguments.join(' ').toStdString());
    }
}

TEST_F(FeedbackReporterTest, BannerWithdrawsItselfAndANewOfferRestartsTheTimer) {
    reporter.setDismissDelay(1000ms);
    reporter.offer(Trigger::screenshot);
    EXPECT_EQ(reporter.snapshot(), QByteArray("window"));
    spin(600ms);
    now += 3s;
    reporter.offer(Trigger::screenshot); // restarts the 1000 ms
    spin(600ms);
    EXPECT_TRUE(reporter.offering()) << "1200 ms after the first offer, 600 ms after the second";
    ASSERT_TRUE(waitUntil([&] { return !reporter.offering(); }));
    EXPECT_EQ(lines.last(), QStringLiteral("feedback: banner dismissed (timed out)"));
    EXPECT_EQ(reporter.snapshot(), std::nullopt);
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(hidden, 1);
}

TEST_F(FeedbackReporterTest, ActOpensTheComposerWithTheSnapshotAndAsksForDiagnostics) {
    Feedback::setComposerDiagCode(QStringLiteral("stale"));
    Feedback::setDiagnosticsUploader(
        [](const QString& reason, Feedback::Completion<std::optional<QString>> done) {
            EXPECT_EQ(reason, QStringLiteral("user-report"));
            // Answered from another thread, as an uploader may.
            std::thread([done] { done(QStringLiteral("D-42")); }).detach();
        });
    reporter.offer(Trigger::screenshot);
    reporter.act();
    EXPECT_FALSE(reporter.offering());
    ASSERT_EQ(presented.size(), 1);
    EXPECT_EQ(presented[0].intent, FeedbackIntent::idea);
    EXPECT_EQ(presented[0].snapshot, QByteArray("window"));
    EXPECT_EQ(reporter.snapshot(), std::nullopt);
    EXPECT_EQ(Feedback::composerDiagCode(), std::nullopt) << "cleared before the composer opens";
    ASSERT_TRUE(waitUntil([&] { return Feedback::composerDiagCode().has_value(); }));
    EXPECT_EQ(Feedback::composerDiagCode(), QStringLiteral("D-42"));
    EXPECT_TRUE(
        lines.contains(QStringLiteral("feedback: opening the sheet (comment + optional diagnostics)")));
    EXPECT_EQ(lines.last(), QStringLiteral("feedback: diagnostics bundle uploaded, code=D-42"));

    // A second act, or one while idle, does nothing.
    reporter.act();
    EXPECT_EQ(presented.size(), 1);
}

TEST_F(FeedbackReporterTest, HandlerTakesOverAndOnlyItsOwnKeyRemovesIt) {
    int handled = 0;
    reporter.setHandler(QStringLiteral("test"), [&] { ++handled; });
    reporter.setHandler(QStringLiteral("other"), nullptr);
    reporter.offer(Trigger::screenshot);
    reporter.act();
    EXPECT_EQ(handled, 1);
    EXPECT_TRUE(presented.isEmpty());
    EXPECT_EQ(reporter.snapshot(), QByteArray("window")) << "kept for the handler";
    EXPECT_EQ(lines.last(), QStringLiteral("feedback: handing off to the surface's own reporting sheet"));
    reporter.setHandler(QStringLiteral("test"), nullptr);
    now += 3s;
    reporter.offer(Trigger::screenshot);
    reporter.act();
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(presented.size(), 1);
}

TEST_F(FeedbackReporterTest, ProviderSnapshotReplacesTheCaptureOnlyWhileOffering) {
    std::optional<Feedback::Completion<std::optional<QByteArray>>> pending;
    Feedback::setSnapshotProvider(
        [&](Feedback::Completion<std::optional<QByteArray>> done) { pending = done; });
    reporter.offer(Trigger::screenshot);
    ASSERT_TRUE(pending);
    (*pending)(QByteArray("owner"));
    ASSERT_TRUE(waitUntil([&] { return reporter.snapshot() == QByteArray("owner"); }));

    now += 3s;
    reporter.offer(Trigger::screenshot);
    const auto late = *pending;
    reporter.dismiss(QStringLiteral("user"));
    late(QByteArray("late"));
    spin(50ms);
    EXPECT_EQ(reporter.snapshot(), std::nullopt) << "an answer after the dismissal is dropped";
    EXPECT_EQ(lines.last(), QStringLiteral("feedback: banner dismissed (user)"));
    reporter.dismiss(QStringLiteral("user"));
    EXPECT_EQ(lines.count(QStringLiteral("feedback: banner dismissed (user)")), 1) << "idle: no line";
}

TEST_F(FeedbackReporterTest, TellUsWaitsForThePendingOwnerSnapshot) {
    reporter.setSnapshotWait(300ms);
    QList<Feedback::Completion<std::optional<QByteArray>>> pending;
    Feedback::setSnapshotProvider(
        [&](Feedback::Completion<std::optional<QByteArray>> done) { pending.append(done); });

    // The answer comes after "Tell us": the composer opens with it, once.
    reporter.offer(Trigger::screenshot);
    reporter.act();
    EXPECT_TRUE(presented.isEmpty()) << "waits for the owner's picture";
    now += 3s;
    reporter.offer(Trigger::screenshot);
    EXPECT_EQ(lines.last(), QStringLiteral("screenshot: composer already open, no banner"));
    pending[0](QByteArray("owner"));
    ASSERT_TRUE(waitUntil([&] { return !presented.isEmpty(); }));
    EXPECT_EQ(presented[0].snapshot, QByteArray("owner"));
    spin(400ms);
    EXPECT_EQ(presented.size(), 1) << "the time limit does not open a second composer";

    // No answer at all: the composer opens at the time limit with the window capture.
    now += 3s;
    reporter.offer(Trigger::screenshot);
    reporter.act();
    ASSERT_TRUE(waitUntil([&] { return presented.size() == 2; }));
    EXPECT_EQ(presented[1].snapshot, QByteArray("window"));
    pending[1](QByteArray("late"));
    spin(50ms);
    EXPECT_EQ(presented.size(), 2);
    EXPECT_EQ(reporter.snapshot(), std::nullopt) << "a late answer is dropped";

    // Answered before "Tell us": nothing to wait for.
    now += 3s;
    reporter.offer(Trigger::screenshot);
    pending[2](std::nullopt);
    spin(20ms);
    reporter.act();
    ASSERT_EQ(presented.size(), 3);
    EXPECT_EQ(presented[2].snapshot, QByteArray("window"));
}

TEST_F(FeedbackReporterTest, DiagnosticsCodeGoesOnlyToTheComposerItWasAskedFor) {
    QList<Feedback::Completion<std::optional<QString>>> uploads;
    Feedback::setDiagnosticsUploader(
        [&](const QString&, Feedback::Completion<std::optional<QString>> done) { uploads.append(done); });
    reporter.offer(Trigger::screenshot);
    reporter.act();
    ASSERT_EQ(uploads.size(), 1);
    ++session; // that composer closed and another one opened
    uploads[0](QStringLiteral("D-1"));
    spin(50ms);
    EXPECT_EQ(lines.last(), QStringLiteral("feedback: diagnostics bundle uploaded, code=D-1"));
    EXPECT_EQ(Feedback::composerDiagCode(), std::nullopt);

    now += 3s;
    reporter.offer(Trigger::screenshot);
    reporter.act();
    uploads[1](std::nullopt);
    spin(50ms);
    EXPECT_EQ(lines.last(), QStringLiteral("feedback: diagnostics bundle upload FAILED (sheet unaffected)"));
    EXPECT_EQ(Feedback::composerDiagCode(), std::nullopt);
}

TEST_F(FeedbackReporterTest, ActivateRefreshesRewardsAndTheQaSwitchOffersTwoSecondsLater) {
    const struct {
        const char* value;
        QStringList arguments;
        bool offers;
    } cases[] = {
        {"1", {}, true},
        {"yes", {}, false},
        {nullptr, {"app", "-FeedbackQAOffer"}, true},
        {nullptr, {"app"}, false},
    };
    for (const auto& c : cases) {
        QProcessEnvironment environment;
        if (c.value)
            environment.insert(QStringLiteral("FEEDBACK_QA_OFFER"), QString::fromLatin1(c.value));
        EXPECT_EQ(FeedbackReporter::environmentOffers(environment, c.arguments), c.offers)
            << (c.value ? c.value : c.arguments.join(' ').toStdString());
    }

    // The watcher starts with the first activation: on folders of the test's own.
    QTemporaryDir home;
    reporter.watcher().setRoots({home.filePath(QStringLiteral("config")), home.path()});
    qputenv("FEEDBACK_QA_OFFER", "1");
    QElapsedTimer elapsed;
    elapsed.start();
    FeedbackReporter::activate();
    FeedbackReporter::activate();
    EXPECT_EQ(refreshes, 2);
    EXPECT_TRUE(reporter.watcher().started());
    EXPECT_FALSE(reporter.offering());
    ASSERT_TRUE(waitUntil([&] { return reporter.offering(); }, 5s));
    EXPECT_GE(elapsed.elapsed(), 1900);
    // Each activation schedules its own offer; the second one falls within the 2-second spacing.
    spin(200ms);
    EXPECT_EQ(shown, 1);
}

} // namespace

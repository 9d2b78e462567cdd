// The watcher's rules of time and activeness: an injected monotonic clock, a desktop whose active
// process the test sets, and real processes standing for the owner, another application and the
// screenshot tools. The screenshot itself is a real file handed to the watcher as a batch.
#include "FeedbackScreenshotWatcher.h"
#include "Feedback.h"
#include "NamedProcess.h"
#include "ScriptedDesktopActivity.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

using namespace std::chrono_literals;

namespace {

// Named after this test process as well: another run of these tests at the same time has tools of its
// own, which must not count here.
const QString oneShotTool =
    QStringLiteral("morvik-test-one-shot-capture-%1").arg(QCoreApplication::applicationPid());
const QString trayTool =
    QStringLiteral("morvik-test-tray-capture-%1").arg(QCoreApplication::applicationPid());
const QString detected = QStringLiteral("screenshot detected (file)");
const QString paused = QStringLiteral("screenshot detected (file), offer paused: presenting");

enum class Who { owner, other, trayTool, oneShotTool, self, nobody };

struct Step {
    enum Kind { focus, oneShotStarts, oneShotStartsUnseen, oneShotQuits, wait, pause, resume, shot } kind;
    Who who = Who::nobody;
    std::chrono::milliseconds duration{};
    std::optional<QString> line; // for a shot: the line it logs; nothing when it is silent
};

Step focus(Who who) {
    return {Step::focus, who, {}, {}};
}
Step wait(std::chrono::milliseconds duration) {
    return {Step::wait, Who::nobody, duration, {}};
}
Step shot(std::optional<QString> line) {
    return {Step::shot, Who::nobody, {}, std::move(line)};
}
// Its window mapped (the client list changed) as it starts.
const Step oneShotStarts{Step::oneShotStarts, Who::nobody, {}, {}};
// Started without a window of its own yet: the desktop says nothing.
const Step oneShotStartsUnseen{Step::oneShotStartsUnseen, Who::nobody, {}, {}};
const Step oneShotQuits{Step::oneShotQuits, Who::nobody, {}, {}};
const Step pauseOffers{Step::pause, Who::nobody, {}, {}};
const Step resumeOffers{Step::resume, Who::nobody, {}, {}};

enum class Owner { given, absent, givenAfterStart };

struct Scenario {
    const char* name;
    Owner owner;
    Who activeAtStart;
    bool oneShotRunningAtStart;
    std::vector<Step> steps;
    int resignedCalls;
};

// Each scenario's steps, then how often the owner-resigned callback ran.
const Scenario scenarios[] = {
    {"fires only more than 4 s after the previous one",
     Owner::given,
     Who::owner,
     false,
     {shot(detected), wait(3s), shot({}), wait(2s), shot(detected), wait(4s), shot({}), wait(1ms),
      shot(detected)},
     0},
    {"a paused screenshot holds the next one off as well",
     Owner::given,
     Who::owner,
     false,
     {pauseOffers, shot(paused), wait(2s), shot({}), wait(2500ms), resumeOffers, shot(detected)},
     0},
    {"interface up over the owner: its capture counts while it is up",
     Owner::given,
     Who::owner,
     false,
     {focus(Who::trayTool), shot(detected)},
     1},
    {"interface up over the owner: 2 s after it has gone its capture still counts",
     Owner::given,
     Who::owner,
     false,
     {focus(Who::trayTool), focus(Who::other), wait(2s), shot(detected)},
     2},
    {"interface up over another application: rejected, even once the owner is active again",
     Owner::given,
     Who::other,
     false,
     {focus(Who::trayTool), shot({}), focus(Who::owner), wait(1s), shot({})},
     1},
    {"the grace is 3 s: at 2 s the remembered activeness counts, at 4 s the owner's current one",
     Owner::given,
     Who::other,
     false,
     {focus(Who::trayTool), focus(Who::owner), wait(2s), shot({}), wait(2s), shot(detected)},
     1},
    {"a one-shot tool started over the owner, its window then taking the focus",
     Owner::given,
     Who::owner,
     false,
     {oneShotStarts, focus(Who::oneShotTool), shot(detected)},
     1},
    {"a one-shot tool whose window takes the focus from the owner before anything else is seen",
     Owner::given,
     Who::owner,
     false,
     {oneShotStartsUnseen, focus(Who::oneShotTool), shot(detected)},
     1},
    {"a one-shot tool whose window takes the focus from another application",
     Owner::given,
     Who::other,
     false,
     {oneShotStartsUnseen, focus(Who::oneShotTool), focus(Who::owner), shot({})},
     1},
    {"a one-shot tool started over another application keeps counting until 3 s after it ends",
     Owner::given,
     Who::other,
     false,
     {oneShotStarts, focus(Who::owner), shot({}), oneShotQuits, wait(2900ms), shot({}), wait(100ms),
      shot(detected)},
     0},
    {"a one-shot tool running at start counts as up over another application; its next start is sampled "
     "afresh",
     Owner::given,
     Who::owner,
     true,
     {shot({}), oneShotQuits, wait(2s), shot({}), wait(1500ms), shot(detected), oneShotStarts, wait(5s),
      shot(detected)},
     0},
    {"a tool window active at start counts as up over another application",
     Owner::given,
     Who::trayTool,
     false,
     {shot({}), focus(Who::owner), wait(2s), shot({}), wait(1500ms), shot(detected)},
     0},
    {"without an owner process, the owner is this process and nothing resigns",
     Owner::absent,
     Who::self,
     false,
     {shot(detected), focus(Who::other), wait(5s), shot({}), focus(Who::owner), shot({}), focus(Who::self),
      shot(detected)},
     0},
    {"resigning: each activation of another application while the owner is not active, never the owner's",
     Owner::given,
     Who::nobody,
     false,
     {focus(Who::owner), focus(Who::owner), focus(Who::other), focus(Who::other), focus(Who::owner),
      focus(Who::self)},
     3},
    {"an owner given only after the first start is the owner, but its resigning is not followed",
     Owner::givenAfterStart,
     Who::owner,
     false,
     {shot(detected), focus(Who::other), focus(Who::owner), wait(5s), shot(detected)},
     0},
    {"nothing active: the owner is not active", Owner::given, Who::nobody, false, {shot({})}, 0},
};

class FeedbackScreenshotWatcherTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        owner = new NamedProcess(QStringLiteral("morvik-test-owner-application"));
        other = new NamedProcess(QStringLiteral("morvik-test-other-application"));
        tray = new NamedProcess(trayTool);
    }
    static void TearDownTestSuite() {
        delete owner;
        delete other;
        delete tray;
    }

    void SetUp() override {
        ASSERT_TRUE(owner->isRunning() && other->isRunning() && tray->isRunning());
        ASSERT_TRUE(tree.isValid());
        Feedback::resetForTests();
        Feedback::setLogHandler([this](const QString& line) { lines.append(line); });
        roots = {tree.filePath(QStringLiteral("config")), tree.filePath(QStringLiteral("home"))};
        screenshot = roots.home + QStringLiteral("/Pictures/Screenshots/Screenshot.png");
        ASSERT_TRUE(QDir().mkpath(roots.configHome));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(screenshot).path()));
        ASSERT_TRUE(QImage(4, 4, QImage::Format_RGB32).save(screenshot));
    }
    void TearDown() override { Feedback::resetForTests(); }

    // A watcher on the private tree whose watch began a minute ago: the screenshot file, made just
    // now, is fresh and made after the start for as long as the test runs.
    std::unique_ptr<FeedbackScreenshotWatcher> makeWatcher() {
        auto watcher = std::make_unique<FeedbackScreenshotWatcher>();
        auto scripted = std::make_unique<ScriptedDesktopActivity>();
        desktop = scripted.get();
        watcher->setDesktopActivity(std::move(scripted));
        watcher->setMonotonicClock([this] { return now; });
        watcher->setWallClock([this] { return QDateTime::currentDateTimeUtc().addMSecs(wallShift.count()); });
        watcher->setRoots(roots);
        watcher->setTools(ScreenshotTools({{oneShotTool, false}, {trayTool, true}}));
        watcher->setOnScreenshot([this] { ++offers; });
        watcher->setOnOwnerResigned([this] { ++resigned; });
        return watcher;
    }

    std::optional<std::int32_t> pidOf(Who who) const {
        switch (who) {
        case Who::owner:
            return owner->pid();
        case Who::other:
            return other->pid();
        case Who::trayTool:
            return tray->pid();
        case Who::oneShotTool:
            return oneShot ? std::optional<std::int32_t>(oneShot->pid()) : std::nullopt;
        case Who::self:
            return std::int32_t(QCoreApplication::applicationPid());
        case Who::nobody:
            break;
        }
        return std::nullopt;
    }

    static NamedProcess* owner;
    static NamedProcess* other;
    static NamedProcess* tray;
    std::unique_ptr<NamedProcess> oneShot;

    QTemporaryDir tree;
    ScreenshotFolders::Roots roots;
    QString screenshot;
    ScriptedDesktopActivity* desktop = nullptr;
    std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
    std::chrono::milliseconds wallShift{0};
    QStringList lines;
    int offers = 0;
    int resigned = 0;
};

NamedProcess* FeedbackScreenshotWatcherTest::owner = nullptr;
NamedProcess* FeedbackScreenshotWatcherTest::other = nullptr;
NamedProcess* FeedbackScreenshotWatcherTest::tray = nullptr;

TEST_F(FeedbackScreenshotWatcherTest, RulesOfTimeAndActiveness) {
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.name);
        lines.clear();
        offers = 0;
        resigned = 0;
        oneShot.reset();
        Feedback::setScreenshotOffersPaused(nullptr);

        const auto watcher = makeWatcher();
        if (scenario.owner == Owner::given)
            watcher->setOwnerPID(owner->pid());
        desktop->focus(pidOf(scenario.activeAtStart));
        if (scenario.oneShotRunningAtStart) {
            oneShot = std::make_unique<NamedProcess>(oneShotTool);
            ASSERT_TRUE(oneShot->isRunning());
        }
        wallShift = -60s;
        watcher->start();
        wallShift = 0s;
        if (scenario.owner == Owner::givenAfterStart)
            watcher->setOwnerPID(owner->pid());

        for (std::size_t index = 0; index < scenario.steps.size(); ++index) {
            const Step& step = scenario.steps[index];
            SCOPED_TRACE("step " + std::to_string(index + 1));
            switch (step.kind) {
            case Step::focus:
                desktop->focus(pidOf(step.who));
                break;
            case Step::oneShotStarts:
            case Step::oneShotStartsUnseen:
                oneShot = std::make_unique<NamedProcess>(oneShotTool);
                ASSERT_TRUE(oneShot->isRunning());
                if (step.kind == Step::oneShotStarts)
                    desktop->windowsMappedOrUnmapped();
                break;
            case Step::oneShotQuits:
                oneShot->stop();
                desktop->windowsMappedOrUnmapped();
                break;
            case Step::wait:
                now += step.duration;
                break;
            case Step::pause:
                Feedback::setScreenshotOffersPaused(
                    [] { return std::optional<QString>(QStringLiteral("presenting")); });
                break;
            case Step::resume:
                Feedback::setScreenshotOffersPaused([] { return std::optional<QString>(); });
                break;
            case Step::shot: {
                const int offersBefore = offers;
                lines.clear();
                watcher->judge({screenshot});
                EXPECT_EQ(lines, step.line ? QStringList{*step.line} : QStringList());
                EXPECT_EQ(offers - offersBefore, step.line == detected ? 1 : 0);
                break;
            }
            }
        }
        EXPECT_EQ(resigned, scenario.resignedCalls);
    }
}

TEST_F(FeedbackScreenshotWatcherTest, AtMostOneScreenshotOfABatchFires) {
    const auto watcher = makeWatcher();
    // Every reading of the clock is 5 s after the one before, so the spacing never holds one off.
    watcher->setMonotonicClock([this] { return now += 5s; });
    desktop->focus(pidOf(Who::self));
    const QString folder = QFileInfo(screenshot).path();
    const QStringList batch{folder + QStringLiteral("/recording.mp4"), folder + QStringLiteral("/a.png"),
                            folder + QStringLiteral("/b.png"), screenshot};
    QFile movie(batch.at(0));
    ASSERT_TRUE(movie.open(QIODevice::WriteOnly));
    movie.write(QByteArray("\0\0\0\x18"
                           "ftypmp42",
                           12));
    movie.close();
    for (const QString& still : {batch.at(1), batch.at(2)})
        ASSERT_TRUE(QImage(4, 4, QImage::Format_RGB32).save(still));
    wallShift = -60s;
    watcher->start();
    wallShift = 0s;

    QStringList judged;
    QObject::connect(watcher.get(), &FeedbackScreenshotWatcher::judged,
                     [&](const QStringList& paths) { judged += paths; });
    watcher->judge(batch);
    EXPECT_EQ(offers, 1);
    EXPECT_EQ(lines, QStringList{detected});
    EXPECT_EQ(judged, batch);
    watcher->judge({batch.at(0)});
    EXPECT_EQ(offers, 1) << "a screen recording alone is no screenshot";
    watcher->judge({batch.at(2)});
    EXPECT_EQ(offers, 2);
}

TEST_F(FeedbackScreenshotWatcherTest, StartIsDoneOnce) {
    const auto watcher = makeWatcher();
    watcher->setOwnerPID(owner->pid());
    desktop->focus(pidOf(Who::owner));
    watcher->start();
    const QStringList watched = watcher->watchedFolders();
    EXPECT_TRUE(watched.contains(QFileInfo(screenshot).path())) << watched.join(u' ').toStdString();
    EXPECT_TRUE(watched.contains(roots.configHome));
    watcher->start();
    EXPECT_EQ(watcher->watchedFolders(), watched);
    // One observer of the owner's resigning, not one per start.
    desktop->focus(pidOf(Who::other));
    EXPECT_EQ(resigned, 1);
    EXPECT_TRUE(watcher->started());
}

} // namespace

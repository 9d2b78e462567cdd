#include "FeedbackScreenshotWatcher.h"

#include "DesktopActivity.h"
#include "Feedback.h"
#include "FeedbackLogging.h"
#include "FolderWatch.h"
#include "RunningProcesses.h"
#include "ScreenshotCandidate.h"
#include "ScreenshotFreshness.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

void log(const QString& line) {
    qCInfo(lcFeedbackOffers).noquote() << line;
}

// The settings files that decide the screenshot folders, by the folder they sit in.
bool isFolderSetting(const QString& name) {
    return name == QLatin1String("spectaclerc") || name == QLatin1String("user-dirs.dirs") ||
           name == QLatin1String("flameshot.ini");
}

} // namespace

FeedbackScreenshotWatcher::FeedbackScreenshotWatcher(QObject* parent)
    : QObject(parent)
    , monotonicClock_([] { return std::chrono::steady_clock::now(); })
    , wallClock_([] { return QDateTime::currentDateTimeUtc(); })
    , roots_(ScreenshotFolders::fromEnvironment())
    , tools_(ScreenshotTools::known())
    , batching_(FolderWatch::defaultBatching) {}

FeedbackScreenshotWatcher::~FeedbackScreenshotWatcher() = default;

void FeedbackScreenshotWatcher::setOnScreenshot(std::function<void()> callback) {
    onScreenshot_ = std::move(callback);
}

void FeedbackScreenshotWatcher::setOnScreenshotLikely(std::function<void()> callback) {
    onScreenshotLikely_ = std::move(callback);
}

void FeedbackScreenshotWatcher::setOwnerPID(std::optional<std::int32_t> pid) {
    ownerPID_ = pid;
}

void FeedbackScreenshotWatcher::setOnOwnerResigned(std::function<void()> callback) {
    onOwnerResigned_ = std::move(callback);
}

void FeedbackScreenshotWatcher::setDesktopActivity(std::unique_ptr<DesktopActivity> activity) {
    activity_ = std::move(activity);
}

void FeedbackScreenshotWatcher::setMonotonicClock(MonotonicClock clock) {
    monotonicClock_ = std::move(clock);
}

void FeedbackScreenshotWatcher::setWallClock(WallClock clock) {
    wallClock_ = std::move(clock);
}

void FeedbackScreenshotWatcher::setRoots(ScreenshotFolders::Roots roots) {
    roots_ = std::move(roots);
}

void FeedbackScreenshotWatcher::setTools(ScreenshotTools tools) {
    tools_ = std::move(tools);
}

void FeedbackScreenshotWatcher::setBatching(std::chrono::milliseconds batching) {
    batching_ = batching;
    if (folderWatch_)
        folderWatch_->setBatching(batching);
}

DesktopActivity& FeedbackScreenshotWatcher::activity() const {
    // Connected on first use, not with the reporter: the window system is only reached once offers
    // are wanted.
    if (!activity_)
        activity_ = DesktopActivity::connect();
    return *activity_;
}

void FeedbackScreenshotWatcher::start() {
    if (started_)
        return;
    started_ = true;
    DesktopActivity& desktop = activity();

    // Whether the owner gave up the focus is only followed for an owner known at the first start.
    if (ownerPID_) {
        connect(&desktop, &DesktopActivity::activeWindowChanged, this, [this] {
            if (!ownerIsActive() && onOwnerResigned_)
                onOwnerResigned_();
        });
    }

    // A tool already up at start counts as having come up while the owner was not active.
    lastActiveProcess_ = desktop.activeProcess();
    helperRunning_ = helperIsRunning();
    connect(&desktop, &DesktopActivity::activeWindowChanged, this,
            &FeedbackScreenshotWatcher::helperMaybeChanged);
    connect(&desktop, &DesktopActivity::clientListChanged, this,
            &FeedbackScreenshotWatcher::helperMaybeChanged);

    watchStarted_ = wallClock_();
    folderWatch_ = new FolderWatch(this);
    folderWatch_->setBatching(batching_);
    connect(folderWatch_, &FolderWatch::filesArrived, this, &FeedbackScreenshotWatcher::judge);
    connect(folderWatch_, &FolderWatch::batchStarted, this, &FeedbackScreenshotWatcher::firstFileArrived);
    if (!folderWatch_->isWatching())
        qCWarning(lcFeedbackOffers).noquote()
            << QStringLiteral("screenshot watcher: no file watch available");
    followFolders();
}

bool FeedbackScreenshotWatcher::isOwner(std::optional<std::int32_t> activeProcess) const {
    if (!activeProcess)
        return false;
    if (ownerPID_)
        return *activeProcess == *ownerPID_;
    return *activeProcess == QCoreApplication::applicationPid();
}

bool FeedbackScreenshotWatcher::ownerIsActive() const {
    return isOwner(activity().activeProcess());
}

bool FeedbackScreenshotWatcher::isTool(std::optional<std::int32_t> process) const {
    if (!process)
        return false;
    const std::optional<QString> name = RunningProcesses::executableName(*process);
    return name && tools_.contains(*name);
}

bool FeedbackScreenshotWatcher::helperIsRunning() const {
    // A resident tool's process is always there: only its window in front shows its interface.
    if (isTool(activity().activeProcess()))
        return true;
    return !RunningProcesses::named(tools_.transientExecutables()).isEmpty();
}

void FeedbackScreenshotWatcher::helperMaybeChanged() {
    const std::optional<std::int32_t> before = lastActiveProcess_;
    const std::optional<std::int32_t> active = activity().activeProcess();
    lastActiveProcess_ = active;
    const bool running = helperIsRunning();
    if (running == helperRunning_)
        return;
    helperRunning_ = running;
    if (!running) {
        helperGoneAt_ = monotonicClock_();
        return;
    }
    // When the tool came up by taking the focus, the owner is no longer active by now: what counts is
    // whether it was active just before.
    activeWhenHelperAppeared_ = isTool(active) ? isOwner(before) : isOwner(active);
}

bool FeedbackScreenshotWatcher::capturedWhileActive() const {
    if (helperRunning_)
        return activeWhenHelperAppeared_;
    if (helperGoneAt_ && monotonicClock_() - *helperGoneAt_ < interfaceGrace)
        return activeWhenHelperAppeared_;
    return ownerIsActive();
}

void FeedbackScreenshotWatcher::fire(const QString& source) {
    const auto now = monotonicClock_();
    if (lastFired_ && now - *lastFired_ <= screenshotSpacing)
        return;
    // Set before the pause is asked: a paused screenshot holds the next one off as well.
    lastFired_ = now;
    if (const Feedback::ScreenshotOffersPaused paused = Feedback::screenshotOffersPaused()) {
        if (const std::optional<QString> reason = paused()) {
            log(QStringLiteral("screenshot detected (%1), offer paused: %2").arg(source, *reason));
            return;
        }
    }
    log(QStringLiteral("screenshot detected (%1)").arg(source));
    if (onScreenshot_)
        onScreenshot_();
}

void FeedbackScreenshotWatcher::judge(const QStringList& paths) {
    const QStringList settingsFolders = configFolders();
    bool foldersMayHaveChanged = false;
    QList<ScreenshotCandidate> candidates;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        // The settings folders are watched for the tools' settings, not for screenshots.
        if (settingsFolders.contains(info.path()) && !screenshotFolders_.contains(info.path())) {
            foldersMayHaveChanged = foldersMayHaveChanged || isFolderSetting(info.fileName());
            continue;
        }
        ScreenshotCandidate candidate = ScreenshotCandidate::fromFile(path);
        if (candidate.kind == ScreenshotCandidate::Kind::movie)
            continue;
        candidates.append(std::move(candidate));
    }
    if (foldersMayHaveChanged)
        followFolders();

    if (!candidates.isEmpty() && capturedWhileActive()) {
        // Read anew for each batch: a changed save location counts at once.
        const QStringList folders = ScreenshotFolders::current(roots_);
        for (const ScreenshotCandidate& candidate : std::as_const(candidates)) {
            if (ScreenshotFreshness::accepts(candidate, folders, watchStarted_, wallClock_())) {
                fire(QStringLiteral("file"));
                break;
            }
        }
    }
    Q_EMIT judged(paths);
}

void FeedbackScreenshotWatcher::firstFileArrived(const QString& path) {
    // Only a cheap guess: the batch is judged in full when it is complete.
    if (!onScreenshotLikely_ || !screenshotFolders_.contains(QFileInfo(path).path()))
        return;
    if (lastFired_ && monotonicClock_() - *lastFired_ <= screenshotSpacing)
        return;
    if (capturedWhileActive())
        onScreenshotLikely_();
}

QStringList FeedbackScreenshotWatcher::watchedFolders() const {
    return folderWatch_ ? folderWatch_->folders() : QStringList();
}

QStringList FeedbackScreenshotWatcher::configFolders() const {
    // spectaclerc and user-dirs.dirs sit in the configuration folder itself; Flameshot keeps its
    // settings in a folder of its own (under its old organisation name in older versions).
    return {roots_.configHome, roots_.configHome + QStringLiteral("/flameshot"),
            roots_.configHome + QStringLiteral("/Dharkael")};
}

void FeedbackScreenshotWatcher::followFolders() {
    screenshotFolders_ = ScreenshotFolders::current(roots_);
    folderWatch_->setFolders(screenshotFolders_ + configFolders());
}

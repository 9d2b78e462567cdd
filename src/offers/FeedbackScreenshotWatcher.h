#pragma once

#include "morvik_offers_export.h"

#include "ScreenshotFolders.h"
#include "ScreenshotTools.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class DesktopActivity;
class FolderWatch;

// Notices that the user has just taken a still screenshot while the owner application was the active
// one, and says so through `onScreenshot`, at most once every 4 seconds. Also says when the owner
// stops being the active application (`onOwnerResigned`), so that an offer on screen can be withdrawn.
//
// New files come from the folders the screenshot tools save into (FolderWatch); a file counts when it
// is a still image, made after the watch began and at most 15 seconds ago (ScreenshotFreshness). While
// a screenshot tool's interface is up, the tool itself is the active application, so whether the owner
// was active is remembered from the moment the interface came up and used until 3 seconds after it
// has gone. The tools are followed from the desktop's change events (DesktopActivity), never polled.
//
// The 4-second spacing and the 3-second grace are measured on a monotonic clock, so a wall clock set
// back never silences offers; wall time only dates files. One per process, owned by the reporter.
// Main thread.
class MORVIK_OFFERS_EXPORT FeedbackScreenshotWatcher : public QObject {
    Q_OBJECT
public:
    using MonotonicClock = std::function<std::chrono::steady_clock::time_point()>;
    using WallClock = std::function<QDateTime()>;

    // Two screenshots fire only when more than this apart.
    static constexpr std::chrono::milliseconds screenshotSpacing{4000};
    // How long after the screenshot interface has gone the activeness remembered from its appearance
    // still counts: the file is often saved just after the interface closes.
    static constexpr std::chrono::milliseconds interfaceGrace{3000};

    explicit FeedbackScreenshotWatcher(QObject* parent = nullptr);
    ~FeedbackScreenshotWatcher() override;

    // Called once for each accepted screenshot.
    void setOnScreenshot(std::function<void()> callback);
    // Called when the first file of a batch lands in a screenshot folder while the owner is active: a
    // screenshot is likely to be accepted once the batch is complete, so whatever it will need can
    // be made ready meanwhile. Nothing may rely on it being followed by the screenshot.
    void setOnScreenshotLikely(std::function<void()> callback);
    // The owner application's process; without one, the owner is this process itself.
    void setOwnerPID(std::optional<std::int32_t> pid);
    std::optional<std::int32_t> ownerPID() const { return ownerPID_; }
    // Called when another application becomes active while the owner is not active. Only observed
    // when an owner process was given before the first start().
    void setOnOwnerResigned(std::function<void()> callback);

    // What the watcher is built on; each may be replaced before start(). By default: the desktop of
    // DISPLAY, the steady and the system clocks, this user's folders, the known tools.
    void setDesktopActivity(std::unique_ptr<DesktopActivity> activity);
    void setMonotonicClock(MonotonicClock clock);
    void setWallClock(WallClock clock);
    void setRoots(ScreenshotFolders::Roots roots);
    void setTools(ScreenshotTools tools);
    void setBatching(std::chrono::milliseconds batching);

    // Starts watching; later calls do nothing.
    void start();
    bool started() const { return started_; }

    // Whether the owner (this process, without an owner process) owns the active window. Nothing
    // active counts as not active.
    bool ownerIsActive() const;

    // Judges a batch of new files, the way the folder watch hands them over: movies are dropped, the
    // rest count only if captured while the owner was active, and at most one of them fires.
    void judge(const QStringList& paths);

    // The folders watched at the moment: the screenshot folders and the settings folders that name
    // them.
    QStringList watchedFolders() const;

signals:
    // A batch has been judged, whatever the outcome.
    void judged(const QStringList& paths);

private:
    DesktopActivity& activity() const;
    bool isOwner(std::optional<std::int32_t> activeProcess) const;
    bool isTool(std::optional<std::int32_t> process) const;
    bool helperIsRunning() const;
    void helperMaybeChanged();
    bool capturedWhileActive() const;
    void fire(const QString& source);
    void firstFileArrived(const QString& path);
    QStringList configFolders() const;
    void followFolders();

    std::function<void()> onScreenshot_;
    std::function<void()> onScreenshotLikely_;
    std::optional<std::int32_t> ownerPID_;
    std::function<void()> onOwnerResigned_;
    bool started_ = false;
    FolderWatch* folderWatch_ = nullptr;
    bool helperRunning_ = false;
    std::optional<std::chrono::steady_clock::time_point> helperGoneAt_; // nothing: the distant past
    bool activeWhenHelperAppeared_ = false;
    // The active process at the last desktop change: the owner's activeness just before a tool's
    // window took the focus.
    std::optional<std::int32_t> lastActiveProcess_;
    std::optional<std::chrono::steady_clock::time_point> lastFired_;
    QDateTime watchStarted_;
    QStringList screenshotFolders_;

    mutable std::unique_ptr<DesktopActivity> activity_;
    MonotonicClock monotonicClock_;
    WallClock wallClock_;
    ScreenshotFolders::Roots roots_;
    ScreenshotTools tools_;
    std::chrono::milliseconds batching_;
};

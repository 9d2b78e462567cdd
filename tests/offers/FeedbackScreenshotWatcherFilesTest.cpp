// The whole watcher on a private XDG tree with the kernel's real inotify events: files written the
// way screenshot tools write them, settings files changed the way the tools change them.
#include "Feedback.h"
#include "FeedbackScreenshotWatcher.h"
#include "ScriptedDesktopActivity.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace std::chrono_literals;

namespace {

const QString detected = QStringLiteral("screenshot detected (file)");

class FeedbackScreenshotWatcherFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tree.isValid());
        Feedback::resetForTests();
        Feedback::setLogHandler([this](const QString& line) { lines.append(line); });
        roots = {tree.filePath(QStringLiteral("config")), tree.filePath(QStringLiteral("home"))};
        screenshots = roots.home + QStringLiteral("/Pictures/Screenshots");
        ASSERT_TRUE(QDir().mkpath(roots.configHome));
        ASSERT_TRUE(QDir().mkpath(roots.home));
        writeFile(roots.configHome + QStringLiteral("/user-dirs.dirs"),
                  "XDG_PICTURES_DIR=\"$HOME/Pictures\"\n");

        auto desktop = std::make_unique<ScriptedDesktopActivity>();
        // No owner process given: this process is the owner, and it is the active one.
        desktop->focus(std::int32_t(QCoreApplication::applicationPid()));
        watcher.setDesktopActivity(std::move(desktop));
        watcher.setWallClock([this] { return QDateTime::currentDateTimeUtc().addMSecs(wallShift.count()); });
        watcher.setRoots(roots);
        watcher.setTools(ScreenshotTools());
        watcher.setBatching(50ms);
        watcher.setOnScreenshot([this] { ++offers; });
        QObject::connect(&watcher, &FeedbackScreenshotWatcher::judged,
                         [this](const QStringList& paths) { judged += paths; });
    }
    void TearDown() override { Feedback::resetForTests(); }

    // The file system stamps files with a clock that may lag the system clock by a few milliseconds:
    // the watch is taken to have begun a second early, so that files made right after the start count.
    void start(std::chrono::milliseconds earlier = 1s) {
        wallShift = -earlier;
        watcher.start();
        wallShift = 0s;
    }

    static void writeFile(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
        file.write(bytes);
    }
    static void writeStill(const QString& path) {
        ASSERT_TRUE(QImage(8, 8, QImage::Format_RGB32).save(path, "PNG")) << path.toStdString();
    }
    static void writeMovie(const QString& path) {
        writeFile(path, QByteArray("\0\0\0\x18"
                                   "ftypmp42\0\0\0\0",
                                   16));
    }
    // As the tools save their settings: a temporary file beside it, renamed over it.
    static void replaceFile(const QString& path, const QByteArray& bytes) {
        const QString temporary = path + QStringLiteral(".new");
        writeFile(temporary, bytes);
        QFile::remove(path);
        ASSERT_TRUE(QFile::rename(temporary, path));
    }

    static bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s) {
        QDeadlineTimer deadline(timeout);
        while (!done() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return done();
    }
    bool waitForJudged(const QString& path) {
        return waitUntil([&] { return judged.contains(path); });
    }

    QTemporaryDir tree;
    ScreenshotFolders::Roots roots;
    QString screenshots;
    FeedbackScreenshotWatcher watcher;
    std::chrono::milliseconds wallShift{0};
    std::chrono::hours laterBy{0};
    QStringList lines;
    QStringList judged;
    int offers = 0;
};

TEST_F(FeedbackScreenshotWatcherFilesTest, AScreenshotSavedIntoTheScreenshotsFolderIsOfferedOnce) {
    ASSERT_TRUE(QDir().mkpath(screenshots));
    start();
    const QString shot = screenshots + QStringLiteral("/Screenshot from 2026-12-10.png");
    writeStill(shot);
    ASSERT_TRUE(waitForJudged(shot));
    EXPECT_EQ(offers, 1);
    EXPECT_EQ(lines, QStringList{detected});
}

TEST_F(FeedbackScreenshotWatcherFilesTest, FilesThatAreNoScreenshotJustTakenAreNotOffered) {
    ASSERT_TRUE(QDir().mkpath(screenshots));
    const QString elsewhere = roots.home + QStringLiteral("/Downloads");
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    writeStill(elsewhere + QStringLiteral("/old.png"));
    // The watch begins well after the old file was made (further than the file clock's slack).
    start(-200ms);

    const struct {
        const char* name;
        std::function<void()> act;
    } cases[] = {
        {"a screen recording", [&] { writeMovie(screenshots + QStringLiteral("/Recording.mp4")); }},
        {"a hidden file", [&] { writeStill(screenshots + QStringLiteral("/.Screenshot.png")); }},
        {"a text file", [&] { writeFile(screenshots + QStringLiteral("/notes.txt"), "text"); }},
        {"a picture in the pictures folder itself",
         [&] { writeStill(roots.home + QStringLiteral("/Pictures/holiday.png")); }},
        {"a picture in the settings folder",
         [&] { writeStill(roots.configHome + QStringLiteral("/icon.png")); }},
        {"a picture made before the watch began, moved in",
         [&] {
             QFile::rename(elsewhere + QStringLiteral("/old.png"), screenshots + QStringLiteral("/old.png"));
         }},
    };
    int index = 0;
    for (const auto& each : cases) {
        SCOPED_TRACE(each.name);
        each.act();
        // A movie after it: never offered, and judged no earlier than what came before it.
        const QString marker = screenshots + QStringLiteral("/marker-%1.webm").arg(++index);
        writeMovie(marker);
        ASSERT_TRUE(waitForJudged(marker));
        EXPECT_EQ(offers, 0);
        EXPECT_EQ(lines, QStringList());
    }
}

TEST_F(FeedbackScreenshotWatcherFilesTest, SeveralScreenshotsArrivingTogetherAreOfferedOnce) {
    ASSERT_TRUE(QDir().mkpath(screenshots));
    watcher.setBatching(1s);
    start();
    const QStringList shots{screenshots + QStringLiteral("/1.png"), screenshots + QStringLiteral("/2.png"),
                            screenshots + QStringLiteral("/3.png")};
    for (const QString& shot : shots)
        writeStill(shot);
    ASSERT_TRUE(waitUntil([&] { return judged.size() == shots.size(); }));
    EXPECT_EQ(judged, shots);
    EXPECT_EQ(offers, 1);
}

TEST_F(FeedbackScreenshotWatcherFilesTest, AToolsNewSaveFolderCountsWithoutARestart) {
    ASSERT_TRUE(QDir().mkpath(screenshots));
    const QString captures = roots.home + QStringLiteral("/Captures");
    const QString flameshots = roots.home + QStringLiteral("/Flameshots");
    ASSERT_TRUE(QDir().mkpath(captures));
    ASSERT_TRUE(QDir().mkpath(flameshots));
    start();

    const struct {
        const char* tool;
        QString settings;
        QByteArray contents;
        QString folder;
    } cases[] = {
        {"spectacle", roots.configHome + QStringLiteral("/spectaclerc"),
         "[ImageSave]\nimageSaveLocation=file://" + QFile::encodeName(captures) + "\n", captures},
        // Its settings folder does not exist when the watch begins.
        {"flameshot", roots.configHome + QStringLiteral("/flameshot/flameshot.ini"),
         "[General]\nsavePath=" + QFile::encodeName(flameshots) + "\n", flameshots},
        // The pictures folder moves; its "Screenshots" is made only after the watch has moved along.
        {"the pictures folder", roots.configHome + QStringLiteral("/user-dirs.dirs"),
         "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n", roots.home + QStringLiteral("/Bilder/Screenshots")},
    };
    watcher.setMonotonicClock([this] { return std::chrono::steady_clock::now() + laterBy; });
    for (const auto& each : cases) {
        SCOPED_TRACE(each.tool);
        EXPECT_FALSE(watcher.watchedFolders().contains(each.folder));
        QDir().mkpath(QFileInfo(each.settings).path());
        replaceFile(each.settings, each.contents);
        ASSERT_TRUE(waitUntil([&] { return watcher.watchedFolders().contains(each.folder); }));

        ASSERT_TRUE(QDir().mkpath(each.folder));
        const int before = offers;
        const QString shot = each.folder + QStringLiteral("/Screenshot.png");
        writeStill(shot);
        ASSERT_TRUE(waitForJudged(shot));
        EXPECT_EQ(offers, before + 1);
        // The next case comes an hour later on the watcher's steady clock: not held off by this one.
        laterBy += 1h;
    }
}

TEST_F(FeedbackScreenshotWatcherFilesTest, AScreenshotsFolderMadeAfterTheStartIsPickedUp) {
    start();
    ASSERT_TRUE(QDir().mkpath(screenshots));
    const QString shot = screenshots + QStringLiteral("/Screenshot.png");
    writeStill(shot);
    ASSERT_TRUE(waitForJudged(shot));
    EXPECT_EQ(offers, 1);
}

} // namespace

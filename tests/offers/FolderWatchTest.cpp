// The folder watch on real folders in a temporary directory, with the kernel's real inotify events.
#include "FolderWatch.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace std::chrono_literals;

namespace {

class FolderWatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        watch.setBatching(50ms);
        QObject::connect(&watch, &FolderWatch::filesArrived,
                         [this](const QStringList& paths) { batches.append(paths); });
        ASSERT_TRUE(watch.isWatching());
    }

    QString path(const QString& relative) const { return QDir::cleanPath(dir.path() + u'/' + relative); }

    static void write(const QString& path, const QByteArray& bytes = "bytes") {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
        file.write(bytes);
    }

    QStringList reported() const {
        QStringList all;
        for (const QStringList& batch : batches)
            all += batch;
        return all;
    }

    static bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s) {
        QDeadlineTimer deadline(timeout);
        while (!done() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return done();
    }
    bool waitForReported(const QString& path) {
        return waitUntil([&] { return reported().contains(path); });
    }

    QTemporaryDir dir;
    FolderWatch watch;
    QList<QStringList> batches;
};

TEST_F(FolderWatchTest, ReportsFilesWrittenAndClosedAndFilesRenamedIn) {
    ASSERT_TRUE(QDir().mkpath(path("Shots")));
    ASSERT_TRUE(QDir().mkpath(path("elsewhere")));
    watch.setFolders({path("Shots")});
    EXPECT_EQ(watch.folders(), QStringList{path("Shots")});

    write(path("Shots/written.png"));
    write(path("elsewhere/moved.png"));
    ASSERT_TRUE(QFile::rename(path("elsewhere/moved.png"), path("Shots/moved.png")));
    ASSERT_TRUE(waitForReported(path("Shots/moved.png")));
    EXPECT_EQ(reported(), (QStringList{path("Shots/written.png"), path("Shots/moved.png")}));
}

TEST_F(FolderWatchTest, AFileIsReportedOnlyOnceItIsClosed) {
    ASSERT_TRUE(QDir().mkpath(path("Shots")));
    watch.setFolders({path("Shots")});

    QFile open(path("Shots/still-writing.png"));
    ASSERT_TRUE(open.open(QIODevice::WriteOnly));
    open.write("first half");
    open.flush();
    write(path("Shots/done.png"));
    ASSERT_TRUE(waitForReported(path("Shots/done.png")));
    EXPECT_FALSE(reported().contains(path("Shots/still-writing.png")));

    open.close();
    ASSERT_TRUE(waitForReported(path("Shots/still-writing.png")));
}

TEST_F(FolderWatchTest, AFileLinkedIntoPlaceWholeIsReportedByItsCreation) {
    ASSERT_TRUE(QDir().mkpath(path("Shots")));
    watch.setFolders({path("Shots")});

    // QSaveFile writes an unnamed temporary file and links it into place: the folder hears of the
    // name only when it is created, complete.
    QSaveFile saved(path("Shots/saved.png"));
    ASSERT_TRUE(saved.open(QIODevice::WriteOnly));
    saved.write("complete picture");
    ASSERT_TRUE(saved.commit());
    // Created empty and still open: reported once it is closed, not before.
    QFile open(path("Shots/open.png"));
    ASSERT_TRUE(open.open(QIODevice::WriteOnly));
    open.write("half");
    open.flush();
    ASSERT_TRUE(waitForReported(path("Shots/saved.png")));
    EXPECT_FALSE(reported().contains(path("Shots/open.png")));
    open.close();
    ASSERT_TRUE(waitForReported(path("Shots/open.png")));
    EXPECT_EQ(reported().count(path("Shots/saved.png")), 1);
}

TEST_F(FolderWatchTest, NamesStartingWithADotAreLeftOut) {
    ASSERT_TRUE(QDir().mkpath(path("Shots")));
    watch.setFolders({path("Shots")});

    // The way tools save: a hidden temporary file, renamed into place when complete.
    write(path("Shots/.shot.png.part"));
    ASSERT_TRUE(QFile::rename(path("Shots/.shot.png.part"), path("Shots/shot.png")));
    write(path("Shots/.hidden.png"));
    write(path("Shots/marker.png"));
    ASSERT_TRUE(waitForReported(path("Shots/marker.png")));
    EXPECT_EQ(reported(), (QStringList{path("Shots/shot.png"), path("Shots/marker.png")}));
}

TEST_F(FolderWatchTest, AFolderMadeLaterIsPickedUpFromItsNearestExistingAncestor) {
    const QString shots = path("a/b/Shots");
    watch.setFolders({shots});

    QDir().mkdir(path("a"));
    write(path("a/not-a-shot.png"));
    QDir().mkdir(path("a/b"));
    QDir().mkdir(shots);
    // Written at once: either the watch or the look into the new folder finds it.
    write(shots + QStringLiteral("/first.png"));
    ASSERT_TRUE(waitForReported(shots + QStringLiteral("/first.png")));
    write(shots + QStringLiteral("/second.png"));
    ASSERT_TRUE(waitForReported(shots + QStringLiteral("/second.png")));
    EXPECT_FALSE(reported().contains(path("a/not-a-shot.png")));
    EXPECT_EQ(reported().count(shots + QStringLiteral("/first.png")), 1);
}

TEST_F(FolderWatchTest, AFolderMovedAwayOrRemovedIsFollowedWhenItComesBack) {
    const QString shots = path("Shots");
    ASSERT_TRUE(QDir().mkpath(shots));
    watch.setFolders({shots});

    // Moved away: what is written into it at its new place is no file of the watched folder.
    ASSERT_TRUE(QDir().rename(shots, path("Old")));
    write(path("Old/after-move.png"));
    ASSERT_TRUE(QDir().mkdir(shots));
    write(shots + QStringLiteral("/back.png"));
    ASSERT_TRUE(waitForReported(shots + QStringLiteral("/back.png")));
    EXPECT_FALSE(reported().contains(shots + QStringLiteral("/after-move.png")));

    ASSERT_TRUE(QDir(shots).removeRecursively());
    ASSERT_TRUE(QDir().mkdir(shots));
    write(shots + QStringLiteral("/again.png"));
    ASSERT_TRUE(waitForReported(shots + QStringLiteral("/again.png")));
    write(shots + QStringLiteral("/once-more.png"));
    ASSERT_TRUE(waitForReported(shots + QStringLiteral("/once-more.png")));
    EXPECT_EQ(reported().count(shots + QStringLiteral("/back.png")), 1);
}

TEST_F(FolderWatchTest, SetFoldersReplacesTheListWithoutReportingAgain) {
    for (const char* name : {"A", "B"})
        ASSERT_TRUE(QDir().mkpath(path(QString::fromLatin1(name))));
    watch.setFolders({path("A")});
    watch.setFolders({path("B")});
    EXPECT_EQ(watch.folders(), QStringList{path("B")});

    write(path("A/left.png"));
    write(path("B/kept.png"));
    ASSERT_TRUE(waitForReported(path("B/kept.png")));
    EXPECT_FALSE(reported().contains(path("A/left.png")));

    // A folder already watched keeps its watch; what it holds is not reported again.
    watch.setFolders({path("A"), path("B"), path("A/../B/")});
    EXPECT_EQ(watch.folders(), (QStringList{path("A"), path("B")}));
    write(path("A/now.png"));
    ASSERT_TRUE(waitForReported(path("A/now.png")));
    EXPECT_EQ(reported(), (QStringList{path("B/kept.png"), path("A/now.png")}));
}

TEST_F(FolderWatchTest, FilesArrivingTogetherComeInOneBatch) {
    ASSERT_TRUE(QDir().mkpath(path("Shots")));
    // Long enough that a busy machine does not split three quick writes.
    watch.setBatching(1s);
    watch.setFolders({path("Shots")});

    const QStringList names{path("Shots/1.png"), path("Shots/2.png"), path("Shots/3.png")};
    for (const QString& name : names)
        write(name);
    write(names.first(), "written again"); // reported once in its batch
    ASSERT_TRUE(waitUntil([&] { return reported().size() >= names.size(); }));
    ASSERT_EQ(batches.size(), 1);
    EXPECT_EQ(batches.first(), names);
}

TEST_F(FolderWatchTest, ASteadyStreamOfFilesIsStillReportedEveryInterval) {
    ASSERT_TRUE(QDir().mkpath(path("Shots")));
    watch.setBatching(100ms);
    watch.setFolders({path("Shots")});

    // A file every few milliseconds for a second: were the batch timer restarted by each file,
    // nothing would come until the stream ends.
    QDeadlineTimer streaming(1s);
    int written = 0;
    while (!streaming.hasExpired()) {
        write(path(QStringLiteral("Shots/%1.png").arg(++written)));
        QDeadlineTimer pause(5ms);
        while (!pause.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    EXPECT_GE(batches.size(), 2) << written << " files written";
    ASSERT_TRUE(waitUntil([&] { return reported().size() == written; }));
}

TEST_F(FolderWatchTest, NearestExistingFolder) {
    const QString base = dir.path();
    ASSERT_TRUE(QDir().mkpath(base + "/a/b"));
    QFile file(base + "/a/plain");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(FolderWatch::nearestExistingFolder(base + "/a/b"), base + "/a/b");
    EXPECT_EQ(FolderWatch::nearestExistingFolder(base + "/a/b/"), base + "/a/b");
    EXPECT_EQ(FolderWatch::nearestExistingFolder(base + "/a/b/c/d"), base + "/a/b");
    EXPECT_EQ(FolderWatch::nearestExistingFolder(base + "/a/plain/c"), base + "/a");
    EXPECT_EQ(FolderWatch::nearestExistingFolder("/no-such-folder-here/x"), "/");
}

} // namespace

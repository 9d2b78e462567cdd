// The store file as something other programs touch too: another process's changes are merged, not
// overwritten; values read from disk are held to what recording could store; foreign files in the
// store's folder neither block the records queue nor are followed; another process's lock never
// holds up a recording caller.

#include "FailureRecords.h"
#include "Feedback.h"
#include "FeedbackRecords.h"
#include "FleetFeature.h"
#include "RecordsTestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using FailureRecords::Entry;
using FailureRecords::State;
using namespace RecordsTest;

namespace {

using SharedStoreTest = RecordsFixture;

const QString failedEvent = QStringLiteral("action_failed");

// What another process would hold: an exclusive lock on the file at `path`.
class ForeignLock {
public:
    explicit ForeignLock(const QString& path) {
        fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        locked_ = fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
    }
    ~ForeignLock() { release(); }
    bool locked() const { return locked_; }
    void release() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
        locked_ = false;
    }

private:
    int fd_ = -1;
    bool locked_ = false;
};

TEST_F(SharedStoreTest, AnotherProcessesSaveIsMergedNotOverwritten) {
    FailureRecords::record(failedEvent, QStringLiteral("sync"), std::nullopt, 1, QStringLiteral("E1"),
                           at("2024-05-01T10:00:00Z"));
    ASSERT_TRUE(FailureRecords::flush());

    // Another process of the application saves meanwhile: one more of ours, one of its own, a stamp.
    State theirs = *storedState();
    theirs.pending[0].count += 4;
    theirs.pending.append(Entry{QStringLiteral("2024-05-01T10:05:00Z"), failedEvent, QStringLiteral("save"),
                                std::nullopt, 2, QStringLiteral("E2")});
    theirs.journey.insert(QStringLiteral("opened"),
                          FailureRecords::Stamp{QStringLiteral("2024-05-01T09:00:00Z"), {}});
    writeFile(storePath_, theirs.encode());

    FailureRecords::record(failedEvent, QStringLiteral("sync"), std::nullopt, 3, QStringLiteral("E1"),
                           at("2024-05-01T10:10:00Z"));
    FailureRecords::start(at("2024-05-01T10:10:00Z")); // "opened" is already stamped, by the other
    ASSERT_TRUE(FailureRecords::flush());

    const auto stored = storedState();
    ASSERT_TRUE(stored);
    ASSERT_EQ(stored->pending.size(), 2);
    EXPECT_EQ(stored->pending[0].count, 8);
    EXPECT_EQ(stored->pending[0].ts, QStringLiteral("2024-05-01T10:00:00Z"));
    EXPECT_EQ(stored->pending[1].feature, QStringLiteral("save"));
    EXPECT_EQ(stored->journey.value(QStringLiteral("opened")).ts, QStringLiteral("2024-05-01T09:00:00Z"));
    EXPECT_EQ(FailureRecords::snapshot(), *stored);
}

TEST_F(SharedStoreTest, AStoreThatBecomesWritableGetsWhatWasKeptInMemory) {
    writeFile(dir_.filePath(QStringLiteral("plain-file")), "not a folder");
    const QString path = dir_.filePath(QStringLiteral("plain-file/DovarureVuz/records.json"));
    FailureRecords::setStoreURL(path);
    FailureRecords::resetForTests();
    for (int i = 0; i < 3; ++i)
        FailureRecords::record(failedEvent, QStringLiteral("sync"), std::nullopt, 1, QStringLiteral("E1"));
    EXPECT_FALSE(FailureRecords::flush());
    EXPECT_EQ(FailureRecords::snapshot().pending.first().count, 3);

    ASSERT_TRUE(QFile::remove(dir_.filePath(QStringLiteral("plain-file"))));
    FailureRecords::record(failedEvent, QStringLiteral("sync"), std::nullopt, 1, QStringLiteral("E1"));
    EXPECT_TRUE(FailureRecords::flush());
    const auto stored = State::decode(readFile(path));
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->pending.first().count, 4);
}

TEST_F(SharedStoreTest, HugeCountsOnDiskAreHeldToTheRecordedRange) {
    // Once an overflow where counts are added (and where settled batches are counted).
    QDir().mkpath(QFileInfo(storePath_).path());
    writeFile(
        storePath_,
        R"({"pending":[{"ts":"2024-05-01T10:00:00Z","event":"action_failed","feature":"sync","count":9223372036854775807,"code":"E1"},
              {"ts":"2024-05-01T10:00:01Z","event":"action_failed","feature":"save","count":-9223372036854775807,"code":"E1"},
              {"ts":"2024-05-01T10:00:02Z","event":"action_failed","feature":"open","count":0,"code":"E1"}],
              "journey":{},"journeySent":[],"sentDay":"2024-05-01","sentToday":9223372036854775807})");
    FailureRecords::resetForTests();
    State state = FailureRecords::snapshot();
    ASSERT_EQ(state.pending.size(), 3);
    EXPECT_EQ(state.pending[0].count, 10000);
    EXPECT_EQ(state.pending[1].count, 1);
    EXPECT_EQ(state.pending[2].count, 1);
    EXPECT_EQ(state.sentToday, FailureRecords::maxUploadsPerDay);

    FailureRecords::record(failedEvent, QStringLiteral("sync"), std::nullopt, 10000, QStringLiteral("E1"));
    FailureRecords::record(failedEvent, QStringLiteral("save"), std::nullopt, 1, QStringLiteral("E1"));
    ASSERT_TRUE(FailureRecords::flush());
    state = *storedState();
    EXPECT_EQ(state.pending[0].count, 10000);
    EXPECT_EQ(state.pending[1].count, 2);
    EXPECT_EQ(state.sentToday, FailureRecords::maxUploadsPerDay);

    // A negative count of settled batches does not open the day to more than twelve.
    writeFile(storePath_,
              R"({"pending":[],"journey":{},"journeySent":[],"sentDay":"2024-05-01","sentToday":-50})");
    EXPECT_EQ(FailureRecords::snapshot().sentToday, 0);
}

TEST_F(SharedStoreTest, ValuesOnDiskAreCleanedAsRecordedOnes) {
    QDir().mkpath(QFileInfo(storePath_).path());
    writeFile(
        storePath_,
        R"({"pending":[{"ts":"2024-05-01T10:00:00Z","event":"Bad Event","feature":"x y","account_kind":"PRO","count":2,"code":"free text here"},
              {"ts":"yesterday","event":"action_failed","feature":"sync","count":1,"code":"E1"},
              {"ts":"2024-05-01T10:00:00Z","event":"action_failed","feature":"sync","count":1,"code":"E#1"}],
              "journey":{"opened":{"ts":"2024-05-01T09:00:00Z","feature":"Home Screen"},"hacked":{"ts":"2024-05-01T09:00:00Z"},
              "first_action":{"ts":"soon"}},
              "journeySent":["zzz","opened","opened"],"uploadID":"not-a-uuid","sentDay":"today","sentToday":3})");
    FailureRecords::resetForTests();
    const State state = FailureRecords::snapshot();
    const QList<Entry> expected = {
        {QStringLiteral("2024-05-01T10:00:00Z"), QStringLiteral("other"), QStringLiteral("other"),
         QStringLiteral("other"), 2, QStringLiteral("unspecified")},
        {QStringLiteral("2024-05-01T10:00:00Z"), failedEvent, QStringLiteral("sync"), std::nullopt, 1,
         QStringLiteral("E1")},
    };
    EXPECT_EQ(state.pending, expected);
    ASSERT_EQ(state.journey.keys(), QStringList{QStringLiteral("opened")});
    EXPECT_EQ(state.journey.value(QStringLiteral("opened")).feature, QStringLiteral("other"));
    EXPECT_EQ(state.journeySent, QStringList{QStringLiteral("opened")});
    EXPECT_EQ(state.uploadID, std::nullopt);
    EXPECT_EQ(state.sentDay, QString());
    EXPECT_EQ(state.sentToday, 3);

    // What this system writes comes back unchanged.
    EXPECT_EQ(state.checked(), state);
}

TEST_F(SharedStoreTest, ForeignFilesInTheStoreFolderAreNeitherFollowedNorWaitedFor) {
    const QString folder = QFileInfo(storePath_).path();
    const QString lockPath = storePath_ + QStringLiteral(".lock");
    QDir().mkpath(folder);
    const QString outside = dir_.filePath(QStringLiteral("outside.json"));
    State elsewhere;
    elsewhere.sentDay = QStringLiteral("2024-01-01");
    const QByteArray outsideBytes = elsewhere.encode();
    writeFile(outside, outsideBytes);

    struct Case {
        const char* name;
        std::function<void()> plant;
    };
    const Case cases[] = {
        {"store is a pipe", [&] { ASSERT_EQ(::mkfifo(QFile::encodeName(storePath_).constData(), 0600), 0); }},
        {"store links to another file", [&] { ASSERT_TRUE(QFile::link(outside, storePath_)); }},
        {"lock is a pipe", [&] { ASSERT_EQ(::mkfifo(QFile::encodeName(lockPath).constData(), 0600), 0); }},
        {"lock links to another file", [&] { ASSERT_TRUE(QFile::link(outside, lockPath)); }},
        {"lock is a folder with something in it",
         [&] {
             QDir().mkpath(lockPath);
             writeFile(lockPath + QStringLiteral("/keep"), "x");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(storePath_);
        QFile::remove(lockPath);
        QDir(lockPath).removeRecursively();
        c.plant();
        FailureRecords::resetForTests();

        QElapsedTimer elapsed;
        elapsed.start();
        EXPECT_EQ(FailureRecords::snapshot(), State{}) << "nothing is read through it";
        FailureRecords::record(failedEvent, QStringLiteral("sync"), std::nullopt, 1, QStringLiteral("E1"));
        EXPECT_TRUE(FailureRecords::flush());
        EXPECT_LT(elapsed.elapsed(), 1500) << "nothing waited for a writer that never comes";

        const QFileInfo store(storePath_);
        EXPECT_TRUE(store.isFile() && !store.isSymLink()) << "the store is a plain file of ours again";
        ASSERT_TRUE(storedState());
        EXPECT_EQ(storedState()->pending.size(), 1);
        EXPECT_EQ(readFile(outside), outsideBytes) << "the other file is untouched";
    }
    QDir(lockPath).removeRecursively();
}

TEST_F(SharedStoreTest, AnotherProcessesLockNeverHoldsUpTheCaller) {
    FailureRecords::record(failedEvent, QStringLiteral("sync"), std::nullopt, 1, QStringLiteral("E1"));
    ASSERT_TRUE(FailureRecords::flush());
    ForeignLock lock(storePath_ + QStringLiteral(".lock"));
    ASSERT_TRUE(lock.locked());

    QElapsedTimer elapsed;
    elapsed.start();
    for (int i = 0; i < 100; ++i)
        Feedback::failed(FleetFeature::sync, QStringLiteral("E1"));
    EXPECT_LT(elapsed.elapsed(), 200) << "recording returns at once";

    // The queue keeps the recordings in memory while the other holder has the lock; the file waits.
    EXPECT_EQ(FailureRecords::snapshot().pending.first().count, 101);
    EXPECT_EQ(storedState()->pending.first().count, 1);
    EXPECT_FALSE(FailureRecords::flush());

    // Once the other holder lets go, they are merged in without another recording.
    lock.release();
    EXPECT_TRUE(waitUntil([&] {
        const auto stored = storedState();
        return stored && stored->pending.first().count == 101;
    }));
}

TEST_F(SharedStoreTest, ALockHeldByAKilledProcessIsGoneWithIt) {
    const QString lockPath = storePath_ + QStringLiteral(".lock");
    QDir().mkpath(QFileInfo(storePath_).path());
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int fd = ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT, 0600);
        ::flock(fd, LOCK_EX);
        ::pause();
        ::_exit(0);
    }
    // The child holds the lock (the file exists and a try fails), then dies by SIGKILL.
    ASSERT_TRUE(waitUntil([&] {
        const int fd = ::open(QFile::encodeName(lockPath).constData(), O_RDWR);
        const bool held = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        if (fd >= 0)
            ::close(fd);
        return held;
    }));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);

    QElapsedTimer elapsed;
    elapsed.start();
    FailureRecords::record(failedEvent, QStringLiteral("sync"), std::nullopt, 1, QStringLiteral("E1"));
    EXPECT_TRUE(FailureRecords::flush());
    EXPECT_LT(elapsed.elapsed(), 1000);
    EXPECT_EQ(storedState()->pending.size(), 1);
}

} // namespace

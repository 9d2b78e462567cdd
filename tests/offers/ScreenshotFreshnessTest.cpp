#include "ScreenshotFreshness.h"
#include "FileTimes.h"
#include "ScreenshotCandidate.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

const QDateTime now = QDateTime::fromString("2026-03-04T10:00:00.000Z", Qt::ISODateWithMs);
const QString folder = "/home/u/Pictures/Screenshots";

struct AgeCase {
    const char* name;
    std::optional<QString> path;
    std::optional<qint64> ageMs; // absent: no creation time
    bool fresh;
};

TEST(ScreenshotFreshness, AgeWindowAndFolder) {
    const QString shot = folder + "/Screenshot_20260304_100000.png";
    const std::vector<AgeCase> cases = {
        {"just made", shot, 0, true},
        {"exactly 15 seconds old", shot, 15000, true},
        {"15.001 seconds old", shot, 15001, false},
        {"15.5 seconds old", shot, 15500, false},
        {"2 seconds ahead of now", shot, -2000, true},
        {"2.001 seconds ahead of now", shot, -2001, false},
        {"3 seconds ahead of now", shot, -3000, false},
        {"an hour old", shot, 3600000, false},
        {"no path", std::nullopt, 0, false},
        {"empty path", QString(), 0, false},
        {"no creation time", shot, std::nullopt, false},
        {"another folder", "/home/u/Pictures/x.png", 0, false},
        {"a folder inside the screenshot folder", folder + "/sub/x.png", 0, false},
        {"a folder that only starts alike", folder + "-old/x.png", 0, false},
        {"path with a redundant part", "/home/u/Pictures/./Screenshots//x.png", 0, true},
        {"path through dot-dot", "/home/u/Videos/../Pictures/Screenshots/x.png", 0, true},
    };
    for (const AgeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<QDateTime> created =
            c.ageMs ? std::optional(now.addMSecs(-*c.ageMs)) : std::optional<QDateTime>();
        EXPECT_EQ(ScreenshotFreshness::isFresh(c.path, created, folder, now), c.fresh);
    }
    EXPECT_FALSE(ScreenshotFreshness::isFresh(shot, QDateTime(), folder, now));
    EXPECT_FALSE(ScreenshotFreshness::isFresh(shot, now, folder, QDateTime()));
}

// Real files in a temporary folder; the clock readings are placed around each file's own creation
// time, so the judgement does not depend on how fast the test runs.
class ScreenshotCandidateTest : public ::testing::Test {
protected:
    QTemporaryDir tree;
    QString shots = tree.path() + "/Screenshots";
    QString elsewhere = tree.path() + "/Downloads";

    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(shots));
        ASSERT_TRUE(QDir().mkpath(elsewhere));
    }

    static QString make(const QString& path, const QByteArray& contents) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        return path;
    }
};

const QByteArray png = QByteArray::fromHex("89504e470d0a1a0a0000000d49484452") + QByteArray(64, '\0');
const QByteArray webm = QByteArray::fromHex("1a45dfa39f4286810142f7810142f2810442f381084282847765626d");
const QByteArray mp4 = QByteArray::fromHex("0000001c667479706d703432000000006d70343269736f6d");

struct FileCase {
    const char* name;
    QString file; // under the temporary folder
    QByteArray contents;
    qint64 startedBeforeMs; // the watch began this long before the file was made (negative: after)
    qint64 judgedAfterMs;   // now is this long after the file was made
    bool accepted;
};

TEST_F(ScreenshotCandidateTest, JudgesNewFiles) {
    const std::vector<FileCase> cases = {
        {"a fresh PNG in the screenshot folder", "Screenshots/Screenshot_1.png", png, 5000, 1000, true},
        {"a PNG judged 15 seconds later", "Screenshots/Screenshot_2.png", png, 5000, 15000, true},
        {"a PNG judged 16 seconds later", "Screenshots/Screenshot_3.png", png, 20000, 16000, false},
        {"a PNG without an extension", "Screenshots/Screenshot_4", png, 5000, 1000, true},
        {"a dot-file", "Screenshots/.Screenshot_5.png", png, 5000, 1000, false},
        {"a partial download", "Screenshots/Screenshot_6.png.part", QByteArray(), 5000, 1000, false},
        {"a screen recording (WebM)", "Screenshots/Recording_1.webm", webm, 5000, 1000, false},
        {"a screen recording (MP4)", "Screenshots/Recording_2.mp4", mp4, 5000, 1000, false},
        {"a text file", "Screenshots/notes.txt", "just words\n", 5000, 1000, false},
        {"a PNG in another folder", "Downloads/Screenshot_7.png", png, 5000, 1000, false},
        {"a PNG made before the watch began", "Screenshots/Screenshot_8.png", png, -1000, 1000, false},
        {"a PNG made the moment the watch began", "Screenshots/Screenshot_9.png", png, 0, 1000, true},
        {"a PNG stamped a tick before the watch began (the file clock trails)",
         "Screenshots/Screenshot_10.png", png, -10, 1000, true},
        {"a PNG made 30 ms before the watch began", "Screenshots/Screenshot_11.png", png, -30, 1000, false},
    };
    const QStringList folders = {tree.path() + "/Elsewhere", shots};
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = make(tree.path() + "/" + c.file, c.contents);
        const ScreenshotCandidate candidate = ScreenshotCandidate::fromFile(path);
        ASSERT_TRUE(candidate.created.has_value());
        const QDateTime made = *candidate.created;
        EXPECT_EQ(ScreenshotFreshness::accepts(candidate, folders, made.addMSecs(-c.startedBeforeMs),
                                               made.addMSecs(c.judgedAfterMs)),
                  c.accepted);
    }
}

TEST_F(ScreenshotCandidateTest, KindsOfFiles) {
    EXPECT_EQ(ScreenshotCandidate::fromFile(make(shots + "/a.png", png)).kind,
              ScreenshotCandidate::Kind::still);
    EXPECT_EQ(ScreenshotCandidate::fromFile(make(shots + "/b.webm", webm)).kind,
              ScreenshotCandidate::Kind::movie);
    EXPECT_EQ(ScreenshotCandidate::fromFile(make(shots + "/c.mp4", mp4)).kind,
              ScreenshotCandidate::Kind::movie);
    EXPECT_EQ(ScreenshotCandidate::fromFile(make(shots + "/d.txt", "x")).kind,
              ScreenshotCandidate::Kind::other);
    EXPECT_EQ(ScreenshotCandidate::fromFile(shots).kind, ScreenshotCandidate::Kind::other);
    const ScreenshotCandidate gone = ScreenshotCandidate::fromFile(shots + "/gone.png");
    EXPECT_EQ(gone.kind, ScreenshotCandidate::Kind::other);
    EXPECT_FALSE(gone.created.has_value());
}

TEST_F(ScreenshotCandidateTest, CreationTimeIsTheBirthNotALaterModification) {
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    const QString path = make(shots + "/touched.png", png);
    const QDateTime after = QDateTime::currentDateTimeUtc().addSecs(1);
    const QDateTime longAgo = before.addSecs(-3600);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(longAgo, QFileDevice::FileModificationTime));
    file.close();

    struct statx facts {};
    ASSERT_EQ(::statx(AT_FDCWD, QFile::encodeName(path).constData(), 0, STATX_BTIME, &facts), 0);
    if (!(facts.stx_mask & STATX_BTIME))
        GTEST_SKIP() << "this file system records no birth time";
    const std::optional<QDateTime> created = FileTimes::created(path);
    ASSERT_TRUE(created.has_value());
    EXPECT_GE(*created, before);
    EXPECT_LE(*created, after);
}

} // namespace

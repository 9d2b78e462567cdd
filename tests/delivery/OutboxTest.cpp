#include "DeliveryFixture.h"
#include "OutboxEntry.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <sys/stat.h>

namespace {

class OutboxTest : public DeliveryFixture {
protected:
    // A file in the outbox whose modification time is `age` before `now`.
    QString stored(const QString& name, const QDateTime& now, qint64 ageSeconds,
                   const QByteArray& body = "{}") {
        QDir().mkpath(outboxDirectory());
        const QString path = QDir(outboxDirectory()).filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(body);
        file.flush(); // a later flush would make the file new again
        EXPECT_TRUE(file.setFileTime(now.addSecs(-ageSeconds), QFileDevice::FileModificationTime));
        return path;
    }

    static int mode(const QString& path) {
        struct stat info {};
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
    }

    const QDateTime now = QDateTime::currentDateTimeUtc();
};

TEST_F(OutboxTest, DefaultDirectoryIsInTheUsersDataDirectory) {
    FeedbackOutbox::setDirectory(std::nullopt);
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    ASSERT_FALSE(data.isEmpty());
    EXPECT_EQ(FeedbackOutbox::directory(), data + QStringLiteral("/FeedbackOutbox"));
    EXPECT_TRUE(data.startsWith(qEnvironmentVariable("XDG_DATA_HOME")));
}

TEST_F(OutboxTest, SaveWritesExactBytesPrivately) {
    const QByteArray body = R"({"message":"Hallo Welt","contact":"ada@example.org"})";
    const std::optional<QString> path = FeedbackOutbox::save(body);
    ASSERT_TRUE(path);
    static const QRegularExpression name(
        QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.json$"));
    EXPECT_TRUE(name.match(QFileInfo(*path).fileName()).hasMatch()) << path->toStdString();
    EXPECT_EQ(QFileInfo(*path).absolutePath(), outboxDirectory());
    QFile file(*path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), body);
    EXPECT_EQ(mode(outboxDirectory()), 0700);
    EXPECT_EQ(mode(*path), 0600);
    EXPECT_EQ(outboxFiles().size(), 1) << "no temporary file is left behind";
}

TEST_F(OutboxTest, DefaultDirectoryLeftWiderIsTightened) {
    FeedbackOutbox::setDirectory(std::nullopt);
    const QString dir = FeedbackOutbox::directory();
    QDir().mkpath(dir);
    ::chmod(QFile::encodeName(dir).constData(), 0755);
    const auto path = FeedbackOutbox::save("{}");
    ASSERT_TRUE(path);
    EXPECT_EQ(mode(dir), 0700);
    EXPECT_EQ(mode(*path), 0600);
    FeedbackOutbox::remove(path);
}

TEST_F(OutboxTest, EverythingIsPrivateWhateverTheUmask) {
    const mode_t previous = ::umask(0);
    FeedbackOutbox::setDirectory(tempPath(QStringLiteral("data/deeper/FeedbackOutbox")));
    const auto saved = FeedbackOutbox::save(R"({"app_key":"a","client_report_id":"1"})");
    const auto entry =
        FeedbackOutbox::create(R"({"app_key":"a","client_report_id":"2"})", QByteArray("picture"));
    ::umask(previous);
    ASSERT_TRUE(saved && entry);
    for (const char* folder : {"data", "data/deeper", "data/deeper/FeedbackOutbox"})
        EXPECT_EQ(mode(tempPath(QString::fromLatin1(folder))), 0700) << folder;
    for (const QString& file : {*saved, entry->path(), entry->snapshotPath()})
        EXPECT_EQ(mode(file), 0600) << file.toStdString();
}

TEST_F(OutboxTest, SaveFailsWhenTheDirectoryCannotBeMade) {
    QFile blocker(tempPath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    FeedbackOutbox::setDirectory(tempPath(QStringLiteral("blocker/FeedbackOutbox")));
    EXPECT_EQ(FeedbackOutbox::save("{}"), std::nullopt);
}

TEST_F(OutboxTest, PendingOnMissingDirectoryIsEmptyAndCreatesNothing) {
    EXPECT_TRUE(FeedbackOutbox::pending(now).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(outboxDirectory()));
}

TEST_F(OutboxTest, OnlyLowerCaseJsonFilesAreReports) {
    const QString report = stored(QStringLiteral("B.json"), now, 60);
    const QString hidden = stored(QStringLiteral(".A.json"), now, 60);
    const QString capitals = stored(QStringLiteral("C.JSON"), now, 9 * 86400);
    const QString text = stored(QStringLiteral("D.txt"), now, 9 * 86400);
    const QString bare = stored(QStringLiteral("E"), now, 9 * 86400);
    EXPECT_EQ(FeedbackOutbox::pending(now), (QStringList{hidden, report}));
    for (const QString& untouched : {capitals, text, bare})
        EXPECT_TRUE(QFileInfo::exists(untouched)) << untouched.toStdString();
}

TEST_F(OutboxTest, ExpiredReportsAreDeletedByAge) {
    const QString eightDays = stored(QStringLiteral("1.json"), now, 8 * 86400);
    const QString sixDays = stored(QStringLiteral("2.json"), now, 6 * 86400);
    const QString exactlySeven = stored(QStringLiteral("3.json"), now, 604800);
    const QString justOver = stored(QStringLiteral("4.json"), now, 604801);
    EXPECT_EQ(FeedbackOutbox::pending(now), (QStringList{sixDays, exactlySeven}));
    EXPECT_FALSE(QFileInfo::exists(eightDays));
    EXPECT_FALSE(QFileInfo::exists(justOver));
    EXPECT_TRUE(QFileInfo::exists(sixDays));
}

TEST_F(OutboxTest, PendingIsSortedByNameNotByAge) {
    const QString c = stored(QStringLiteral("c.json"), now, 10);
    const QString a = stored(QStringLiteral("a.json"), now, 30);
    const QString upper = stored(QStringLiteral("Z.json"), now, 20);
    const QString b = stored(QStringLiteral("b.json"), now, 50);
    EXPECT_EQ(FeedbackOutbox::pending(now), (QStringList{upper, a, b, c})) << "plain code-point order";
}

TEST_F(OutboxTest, RemoveDeletesAGivenFileAndIgnoresTheRest) {
    const auto path = FeedbackOutbox::save("{}");
    ASSERT_TRUE(path);
    FeedbackOutbox::remove(std::nullopt);
    EXPECT_TRUE(QFileInfo::exists(*path));
    FeedbackOutbox::remove(path);
    EXPECT_FALSE(QFileInfo::exists(*path));
    FeedbackOutbox::remove(path); // already gone: nothing happens
    EXPECT_TRUE(outboxFiles().isEmpty());
}

} // namespace

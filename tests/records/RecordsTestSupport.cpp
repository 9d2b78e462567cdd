#include "RecordsTestSupport.h"

#include "Feedback.h"
#include "FeedbackRecords.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

namespace RecordsTest {

FailureRecords::Time at(const char* isoText) {
    const QDateTime time = QDateTime::fromString(QString::fromLatin1(isoText), Qt::ISODate);
    return FailureRecords::Time(std::chrono::milliseconds(time.toMSecsSinceEpoch()));
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    QElapsedTimer elapsed;
    elapsed.start();
    // The tick only wakes the loop up to look at the condition again.
    QTimer tick;
    tick.start(5);
    while (!condition()) {
        if (elapsed.elapsed() > timeout.count())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

void LogLines::install() {
    {
        QMutexLocker lock(&mutex_);
        lines_.clear();
    }
    Feedback::setLogHandler([this](const QString& line) {
        QMutexLocker lock(&mutex_);
        lines_.append(line);
    });
}

QStringList LogLines::lines() const {
    QMutexLocker lock(&mutex_);
    return lines_;
}

bool LogLines::contains(const QString& line) const {
    return lines().contains(line);
}

bool LogLines::waitFor(const QString& line, std::chrono::milliseconds timeout) {
    return waitUntil([&] { return contains(line); }, timeout);
}

void RecordsFixture::SetUp() {
    ASSERT_TRUE(dir_.isValid());
    storePath_ = dir_.filePath(QStringLiteral("support/DovarureVuz/records.json"));
    Feedback::resetForTests();
    Feedback::setRecordsEnabled(true);
    Feedback::setTracksSuccess(false);
    Feedback::setRecordCounts({});
    FailureRecords::setClock(nullptr);
    FailureRecords::setDebounce(std::chrono::hours(1));
    FailureRecords::setStartDelay(std::chrono::hours(1));
    FailureRecords::setDiagnosticsDeadline(FailureRecords::defaultDiagnosticsDeadline);
    FailureRecords::setRequestTimeout(5s);
    FailureRecords::setStoreURL(storePath_);
    FailureRecords::resetForTests();
    log_.install();
}

void RecordsFixture::TearDown() {
    // Whatever the test left running belongs to it: a new run starts with the next test.
    FailureRecords::resetForTests();
    FailureRecords::setClock(nullptr);
    Feedback::resetForTests();
}

std::optional<FailureRecords::State> RecordsFixture::storedState() const {
    return FailureRecords::State::decode(readFile(storePath_));
}

} // namespace RecordsTest

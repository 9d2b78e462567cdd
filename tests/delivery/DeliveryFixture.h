#pragma once

#include "DeliveryTimings.h"
#include "Feedback.h"
#include "FeedbackOutbox.h"
#include "FeedbackReport.h"
#include "FeedbackScreenshot.h"

#include <QCoroTask>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

// Readable failure messages for Qt text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray& bytes, std::ostream* out) {
    *out << '"' << (bytes.size() > 200 ? bytes.left(200) + "..." : bytes).toStdString() << '"';
}

// Configured settings, an outbox in a temporary directory of its own, and everything put back after
// each test.
class DeliveryFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp_.isValid());
        Feedback::resetForTests();
        DeliveryTimings::reset();
        Feedback::setAppKey(QStringLiteral("notes-app"));
        Feedback::setIngestKey(QStringLiteral("ingest-secret"));
        Feedback::setProductName(QStringLiteral("Morvik Notes"));
        Feedback::setVersion(QStringLiteral("2.1"));
        Feedback::setBuild(QStringLiteral("45"));
        FeedbackOutbox::setDirectory(outboxDirectory());
    }

    void TearDown() override {
        Feedback::resetForTests();
        DeliveryTimings::reset();
        FeedbackOutbox::setDirectory(std::nullopt);
        Feedback::setSubmissionRecorder({});
        Feedback::setScreenshotMaxLongEdge(Feedback::defaultScreenshotMaxLongEdge);
        Feedback::setScreenshotMaxBytes(Feedback::defaultScreenshotMaxBytes);
    }

    QString outboxDirectory() const { return temp_.filePath(QStringLiteral("FeedbackOutbox")); }
    QStringList outboxFiles() const {
        return QDir(outboxDirectory()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    QString tempPath(const QString& name) const { return temp_.filePath(name); }

    // Runs the event loop until the task is done (results need not be default-constructible).
    template <typename T> static T await(QCoro::Task<T>&& task) {
        std::optional<T> result;
        QCoro::waitFor(store(std::move(task), &result));
        return std::move(*result);
    }
    static void await(QCoro::Task<>&& task) { QCoro::waitFor(std::move(task)); }

private:
    template <typename T> static QCoro::Task<> store(QCoro::Task<T> task, std::optional<T>* result) {
        result->emplace(co_await task);
    }

protected:
private:
    QTemporaryDir temp_;
};

#pragma once

#include "FailureRecords.h"

#include <QByteArray>
#include <QMutex>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

namespace RecordsTest {

using namespace std::chrono_literals;

// A UTC time from its ISO text, e.g. at("2024-05-01T12:34:56Z").
FailureRecords::Time at(const char* isoText);

// Runs the main thread's event loop until the condition holds; false when the time runs out first.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s);

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);

// Collects Feedback::log lines from every thread.
class LogLines {
public:
    // Starts a fresh list and routes Feedback::log to it.
    void install();
    QStringList lines() const;
    bool contains(const QString& line) const;
    bool waitFor(const QString& line, std::chrono::milliseconds timeout = 10s);

private:
    mutable QMutex mutex_;
    QStringList lines_;
};

// A fresh store file in a temporary folder for every test, records settings at their defaults, and
// the upload delays so long that no upload starts unless a test asks for one.
class RecordsFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The file as it is on disk, decoded; nothing when missing or unreadable.
    std::optional<FailureRecords::State> storedState() const;

    QTemporaryDir dir_;
    QString storePath_;
    LogLines log_;
};

} // namespace RecordsTest

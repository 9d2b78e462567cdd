// Snapshots that would stall or bloat a decoder, answered to the real helper's snapshot request: the
// composer opens, the owner's protocol keeps being answered while the picture is decoded, and the
// helper's peak memory stays bounded.
#include "HostileImages.h"
#include "OwnerDriver.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

using HostileImages::PngLayout;

bool isLog(const QJsonObject& m, const QString& text) {
    return m.value(QStringLiteral("log")).toString() == text;
}

// The helper's peak resident size (VmHWM), in MiB; -1 when it cannot be read.
qint64 peakMiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() / 1024;
    return -1;
}

class HostileSnapshot : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        owner.environment().insert(QStringLiteral("XDG_CONFIG_HOME"),
                                   home.filePath(QStringLiteral("config")));
        owner.environment().insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        owner.environment().insert(QStringLiteral("MORVIK_FEEDBACK_URL"),
                                   QStringLiteral("http://127.0.0.1:9"));
        owner.environment().insert(QStringLiteral("MORVIK_ACCOUNT_URL"),
                                   QStringLiteral("http://127.0.0.1:9"));
        // The composer's window needs no screen here.
        owner.environment().insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        owner.narrateComposer();
        ASSERT_TRUE(owner.start());
        owner.writeLine(R"({"config":{"appKey":"a","ingestKey":"k"}})");
        ASSERT_TRUE(owner.waitForReadyCount(1));
    }

    // Compose, answer the snapshot request with the bytes, and wait until the composer's window is up.
    void composeWith(const QByteArray& bytes) {
        owner.writeLine(R"({"cmd":"compose"})");
        const auto request = owner.waitForSnapshotRequest();
        ASSERT_TRUE(request);
        owner.answerSnapshot(request->value(QStringLiteral("id")).toInteger(), bytes);
        ASSERT_TRUE(owner.waitForLog(QStringLiteral("composer: window shown"), 60s));
    }

    QTemporaryDir home;
    OwnerDriver owner;
};

struct HostileCase {
    const char* name;
    QByteArray (*bytes)();
};

void PrintTo(const HostileCase& c, std::ostream* out) {
    *out << c.name;
}

class RefusedSnapshot : public HostileSnapshot, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(RefusedSnapshot, OpensWithoutThumbnailAndTheHelperStaysSmall) {
    composeWith(GetParam().bytes());
    ASSERT_TRUE(owner.waitForLog(QStringLiteral("composer: no thumbnail")));
    owner.writeLine(R"({"config":{}})");
    ASSERT_TRUE(owner.waitForReadyCount(2));
    const qint64 peak = peakMiB(owner.process().processId());
    ASSERT_GT(peak, 0);
    EXPECT_LT(peak, 300) << "MiB";
}

INSTANTIATE_TEST_SUITE_P(
    Bombs, RefusedSnapshot,
    ::testing::Values(
        // 16384 x 16384 x 3 bytes would be needed at once.
        HostileCase{"InterlacedPng16384Squared",
                    [] { return HostileImages::zeroPng(16384, 16384, PngLayout::interlacedRgb8, false); }},
        HostileCase{"Png40000Squared",
                    [] { return HostileImages::zeroPng(40000, 40000, PngLayout::rgb8, false); }}),
    [](const auto& info) { return std::string(info.param.name); });

// The largest picture within the limits, with every one of its 16-bit pixels there to decode (seconds
// of work): the owner's next message, sent once decoding has begun, is answered before the thumbnail
// is done.
TEST_F(HostileSnapshot, ProtocolIsAnsweredWhileTheThumbnailIsDecoded) {
    composeWith(HostileImages::zeroPng(8192, 8192, PngLayout::rgba16, true));
    ASSERT_TRUE(owner.waitForLog(QStringLiteral("composer: decoding the snapshot")));
    const qsizetype sent = owner.messages().size();
    owner.writeLine(R"({"config":{}})");
    const auto ready = owner.waitFor(OwnerDriver::isReady, sent);
    ASSERT_TRUE(ready);
    const auto thumbnail = owner.waitFor(
        [](const QJsonObject& m) { return isLog(m, QStringLiteral("composer: thumbnail ready")); }, 0, 60s);
    ASSERT_TRUE(thumbnail);
    EXPECT_LT(*ready, *thumbnail) << "the helper answered only once the picture was decoded";
    const qint64 peak = peakMiB(owner.process().processId());
    ASSERT_GT(peak, 0);
    EXPECT_LT(peak, 300) << "MiB";
}

} // namespace

// Cleaning of identifiers, reasons and error codes, the time stamp format, the device facts and the
// upload body: everything the records derive from their inputs without the queue.

#include "DeviceFacts.h"
#include "FailureRecords.h"
#include "Feedback.h"
#include "FeedbackRecords.h"
#include "FleetFeature.h"
#include "RecordsTestSupport.h"

#include <QJsonArray>

#include <gtest/gtest.h>

#include <limits>
#include <thread>
#include <vector>

using FailureRecords::Entry;
using FailureRecords::RecordedError;
using FailureRecords::Stamp;
using RecordsTest::at;

namespace app {

// An application's own error type, mapped to a domain and a code the way applications do it.
struct StorageError {
    int status;
};
FailureRecords::RecordedError recordedError(const StorageError& error) {
    return {QStringLiteral("storage"), error.status};
}

} // namespace app

namespace {

struct TextCase {
    QString input;
    QString expected;
};

TEST(FailureRecordsCleaning, SanitizeKeepsOnlyCodeCharactersAndRejectsFreeText) {
    const QString allowed80 = QString(80, u'x');
    const std::vector<TextCase> cases = {
        {QStringLiteral("timeout"), QStringLiteral("timeout")},
        {QStringLiteral("Net:Err/5_x.y-Z"), QStringLiteral("Net:Err/5_x.y-Z")},
        {QStringLiteral("E#42!"), QStringLiteral("E42")},
        {QString(), QStringLiteral("none")},
        {QStringLiteral("#!?"), QStringLiteral("none")},
        {QStringLiteral("disk full"), QStringLiteral("unspecified")},
        {QStringLiteral("tab\there"), QStringLiteral("unspecified")},
        {QStringLiteral("line\n"), QStringLiteral("unspecified")},
        {QStringLiteral("cr\r"), QStringLiteral("unspecified")},
        {QStringLiteral("vt\v"), QStringLiteral("unspecified")},
        {QString::fromUtf8("nbsp\u00a0x"), QStringLiteral("unspecified")},
        {QString::fromUtf8("nel\u0085x"), QStringLiteral("unspecified")},
        {QString::fromUtf8("ls\u2028x"), QStringLiteral("unspecified")},
        {QString::fromUtf8("ps\u2029x"), QStringLiteral("unspecified")},
        {QString::fromUtf8("ideographic\u3000x"), QStringLiteral("unspecified")},
        {QString::fromUtf8("caf\u00e9-\U0001F600ok"), QStringLiteral("caf-ok")},
        {allowed80, QString(60, u'x')},
        {QStringLiteral("##") + allowed80, QString(60, u'x')},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(FailureRecords::sanitize(input), expected) << input.toStdString();
}

TEST(FailureRecordsCleaning, SanitizeIDAcceptsOnlyLowerCaseIdentifiers) {
    const QString forty = QString(40, u'a');
    const std::vector<TextCase> cases = {
        {QStringLiteral("sync"), QStringLiteral("sync")},
        {QStringLiteral("a"), QStringLiteral("a")},
        {QStringLiteral("snake_case_9"), QStringLiteral("snake_case_9")},
        {forty, forty},
        {forty + u'a', QStringLiteral("other")},
        {QStringLiteral("Sync"), QStringLiteral("other")},
        {QStringLiteral("1sync"), QStringLiteral("other")},
        {QStringLiteral("_sync"), QStringLiteral("other")},
        {QStringLiteral("sync-now"), QStringLiteral("other")},
        {QStringLiteral("sync "), QStringLiteral("other")},
        {QString::fromUtf8("\u00e7a"), QStringLiteral("other")},
        {QString(), QStringLiteral("other")},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(FailureRecords::sanitizeID(input), expected) << input.toStdString();
}

TEST(FailureRecordsCleaning, CodeForErrorsIsDomainDotCodeCleaned) {
    EXPECT_EQ(FailureRecords::code(std::nullopt), QStringLiteral("none"));
    EXPECT_EQ(FailureRecords::code(RecordedError(QStringLiteral("net"), -1009)), QStringLiteral("net.-1009"));
    EXPECT_EQ(FailureRecords::code(RecordedError(QStringLiteral("my net"), 1)),
              QStringLiteral("unspecified"));
    EXPECT_EQ(FailureRecords::code(RecordedError(QStringLiteral("ns#err"), 5)), QStringLiteral("nserr.5"));
    EXPECT_EQ(FailureRecords::code(RecordedError(QString(60, u'd'), 7)), QString(60, u'd'));
    // A standard error: the category's name and the value.
    EXPECT_EQ(FailureRecords::code(std::make_error_code(std::errc::connection_refused)),
              QStringLiteral("generic.%1").arg(static_cast<int>(std::errc::connection_refused)));
    // An application error through its own mapping.
    EXPECT_EQ(FailureRecords::code(app::StorageError{-28}), QStringLiteral("storage.-28"));
}

TEST(FailureRecordsCleaning, IsoIsUtcWithWholeSeconds) {
    using namespace std::chrono;
    const std::vector<std::pair<FailureRecords::Time, QString>> cases = {
        {FailureRecords::Time{}, QStringLiteral("1970-01-01T00:00:00Z")},
        {at("2024-05-01T12:34:56Z") + milliseconds(999), QStringLiteral("2024-05-01T12:34:56Z")},
        {at("2024-02-29T23:59:59Z"), QStringLiteral("2024-02-29T23:59:59Z")},
        {at("2024-05-01T14:34:56+02:00"), QStringLiteral("2024-05-01T12:34:56Z")},
        {FailureRecords::Time{} - seconds(1), QStringLiteral("1969-12-31T23:59:59Z")},
        {FailureRecords::Time{} - milliseconds(1), QStringLiteral("1969-12-31T23:59:59Z")},
    };
    for (const auto& [time, expected] : cases)
        EXPECT_EQ(FailureRecords::iso(time), expected);
    EXPECT_EQ(FailureRecords::iso(FailureRecords::Time::max()).size(), 20);
}

TEST(FailureRecordsCleaning, FleetFeatureRawValues) {
    for (const FleetFeature feature : FleetFeatures::allCases) {
        EXPECT_EQ(FleetFeatures::fromRawValue(rawValue(feature)), feature);
        EXPECT_EQ(FailureRecords::sanitizeID(rawValue(feature)), rawValue(feature));
    }
    EXPECT_EQ(rawValue(FleetFeature::importing), QStringLiteral("import"));
    EXPECT_EQ(rawValue(FleetFeature::exporting), QStringLiteral("export"));
    EXPECT_EQ(FleetFeatures::fromRawValue(QStringLiteral("importing")), std::nullopt);
    EXPECT_EQ(FleetFeatures::fromRawValue(QStringLiteral("Sync")), std::nullopt);
}

TEST(FailureRecordsCleaning, BuildNumberIsStrictBaseTen) {
    const std::vector<std::pair<QString, qint64>> cases = {
        {QStringLiteral("1234"), 1234},
        {QStringLiteral("+7"), 7},
        {QStringLiteral("-3"), -3},
        {QStringLiteral("007"), 7},
        {QStringLiteral("12a"), 0},
        {QString(), 0},
        {QStringLiteral("+"), 0},
        {QStringLiteral(" 12"), 0},
        {QStringLiteral("1.5"), 0},
        {QString::fromUtf8("\uff11\uff12"), 0}, // full-width digits are not ASCII digits
        {QStringLiteral("9223372036854775807"), std::numeric_limits<qint64>::max()},
        {QStringLiteral("9223372036854775808"), 0},
        {QStringLiteral("-9223372036854775808"), std::numeric_limits<qint64>::min()},
        {QStringLiteral("-9223372036854775809"), 0},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(FailureRecords::buildNumber(text), expected) << text.toStdString();
}

TEST(FailureRecordsCleaning, DeviceFactsAreFilteredAndCut) {
    EXPECT_EQ(FailureRecords::Device::os({6, 1, 0}), QStringLiteral("Linux 6.1.0"));
    EXPECT_EQ(DeviceFacts::parseKernelRelease(QStringLiteral("6.1.0-18-amd64")),
              (std::array<int, 3>{6, 1, 0}));
    EXPECT_EQ(DeviceFacts::parseKernelRelease(QStringLiteral("5.15")), (std::array<int, 3>{5, 15, 0}));
    EXPECT_EQ(DeviceFacts::parseKernelRelease(QStringLiteral("6.18.44-fc-v1478")),
              (std::array<int, 3>{6, 18, 44}));
    EXPECT_EQ(DeviceFacts::parseKernelRelease(QStringLiteral("weird")), (std::array<int, 3>{0, 0, 0}));
    EXPECT_TRUE(FailureRecords::Device::os().startsWith(QStringLiteral("Linux ")));
    EXPECT_EQ(FailureRecords::Device::os().count(u'.'), 2);
    EXPECT_EQ(FailureRecords::Device::platform(), QStringLiteral("linux"));

    const std::uint64_t gib = 1ull << 30;
    const QJsonObject hardware = FailureRecords::Device::hardware(
        16 * gib - 1, QStringLiteral("Intel(R) Core(TM) i7-8550U CPU @ 1.80GHz"),
        QString::fromUtf8("ThinkPad X1 Carbon, Gen 9 (\u00e9dition)"));
    EXPECT_EQ(hardware.value(QStringLiteral("ram_gb")), QJsonValue(16));
    EXPECT_EQ(hardware.value(QStringLiteral("chip")).toString(),
              QStringLiteral("Intel(R) Core(TM) i7-8550U CPU  1.80GHz"));
    EXPECT_EQ(hardware.value(QStringLiteral("model")).toString(),
              QString::fromUtf8("ThinkPadX1Carbon,Gen9\u00e9dition"));

    // Halves round away from zero; empty texts leave their keys out; 40 characters at most.
    const QJsonObject sparse =
        FailureRecords::Device::hardware(gib + gib / 2, QStringLiteral("@#$"), QString());
    EXPECT_EQ(sparse.value(QStringLiteral("ram_gb")), QJsonValue(2));
    EXPECT_FALSE(sparse.contains(QStringLiteral("chip")));
    EXPECT_FALSE(sparse.contains(QStringLiteral("model")));
    const QJsonObject longNames =
        FailureRecords::Device::hardware(0, QString(50, u'c'), QString::fromUtf8("\U0001D7D8").repeated(50));
    EXPECT_EQ(longNames.value(QStringLiteral("chip")).toString(), QString(40, u'c'));
    EXPECT_EQ(longNames.value(QStringLiteral("model")).toString(),
              QString::fromUtf8("\U0001D7D8").repeated(40));

    EXPECT_EQ(DeviceFacts::processorName(QStringLiteral("processor\t: 0\nHardware\t: BCM2835\n")),
              QStringLiteral("BCM2835"));
    EXPECT_EQ(DeviceFacts::processorName(QStringLiteral("Hardware : X\nmodel name : AMD EPYC 7B13\n")),
              QStringLiteral("AMD EPYC 7B13"));
}

TEST(FailureRecordsCleaning, OnceLetsExactlyOneClaimWin) {
    for (int round = 0; round < 20; ++round) {
        FailureRecords::Once once;
        std::atomic<int> winners{0};
        std::vector<std::thread> threads;
        for (int i = 0; i < 4; ++i)
            threads.emplace_back([&] { winners += once.claim() ? 1 : 0; });
        for (auto& thread : threads)
            thread.join();
        EXPECT_EQ(winners.load(), 1);
        EXPECT_FALSE(once.claim());
    }
}

class FailureRecordsPayload : public ::testing::Test {
protected:
    void SetUp() override { Feedback::resetForTests(); }
    void TearDown() override { Feedback::resetForTests(); }
};

TEST_F(FailureRecordsPayload, BodyCarriesEventsJourneyAndFilteredCounts) {
    Feedback::setVersion(QStringLiteral("2.1"));
    Feedback::setBuild(QStringLiteral("1234"));
    Feedback::setTracksSuccess(true);
    const QList<Entry> events = {
        {QStringLiteral("2024-05-01T00:00:00Z"), QStringLiteral("action_failed"), QStringLiteral("sync"),
         std::nullopt, 3, QStringLiteral("net.-1009")},
        {QStringLiteral("2024-05-01T00:00:01Z"), QStringLiteral("save_failed"), QStringLiteral("save"),
         QStringLiteral("pro"), 1, QStringLiteral("none")},
    };
    const QList<FailureRecords::JourneyPair> journey = {
        {QStringLiteral("first_action"),
         Stamp{QStringLiteral("2024-05-01T00:00:00Z"), QStringLiteral("sync")}},
        {QStringLiteral("signed_in"), Stamp{QStringLiteral("2024-05-01T00:00:02Z"), std::nullopt}},
    };
    const QMap<QString, qint64> counts = {
        {QStringLiteral("launches"), 3}, {QStringLiteral("Bad-Key"), 1}, {QStringLiteral("neg"), -1}};
    const QJsonObject body =
        FailureRecords::payload(events, journey, QStringLiteral("ID-1"), QStringLiteral("AB12"), counts);

    EXPECT_EQ(body.value(QStringLiteral("schema")).toString(), QStringLiteral("velquist.struggle.v1"));
    EXPECT_EQ(body.value(QStringLiteral("upload_id")).toString(), QStringLiteral("ID-1"));
    EXPECT_EQ(body.value(QStringLiteral("version")).toString(), QStringLiteral("2.1"));
    EXPECT_EQ(body.value(QStringLiteral("build")), QJsonValue(1234));
    EXPECT_EQ(body.value(QStringLiteral("os")).toString(), FailureRecords::Device::os());
    EXPECT_TRUE(body.value(QStringLiteral("hw")).toObject().value(QStringLiteral("ram_gb")).isDouble());
    EXPECT_EQ(body.value(QStringLiteral("signed_in")), QJsonValue(true));
    EXPECT_EQ(body.value(QStringLiteral("tracks_success")), QJsonValue(true));
    EXPECT_EQ(body.value(QStringLiteral("bundle_id")).toString(), QStringLiteral("AB12"));
    EXPECT_EQ(body.value(QStringLiteral("counts")).toObject(),
              (QJsonObject{{QStringLiteral("launches"), 3}}));

    const QJsonArray sent = body.value(QStringLiteral("events")).toArray();
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent.at(0).toObject(),
              (QJsonObject{{QStringLiteral("ts"), QStringLiteral("2024-05-01T00:00:00Z")},
                           {QStringLiteral("event"), QStringLiteral("action_failed")},
                           {QStringLiteral("feature"), QStringLiteral("sync")},
                           {QStringLiteral("count"), 3},
                           {QStringLiteral("code"), QStringLiteral("net.-1009")},
                           {QStringLiteral("account_kind"), QJsonValue::Null}}));
    EXPECT_EQ(sent.at(1).toObject().value(QStringLiteral("account_kind")).toString(), QStringLiteral("pro"));

    EXPECT_EQ(body.value(QStringLiteral("journey")).toArray(),
              (QJsonArray{QJsonObject{{QStringLiteral("step"), QStringLiteral("first_action")},
                                      {QStringLiteral("ts"), QStringLiteral("2024-05-01T00:00:00Z")},
                                      {QStringLiteral("feature"), QStringLiteral("sync")}},
                          QJsonObject{{QStringLiteral("step"), QStringLiteral("signed_in")},
                                      {QStringLiteral("ts"), QStringLiteral("2024-05-01T00:00:02Z")}}}));
}

TEST_F(FailureRecordsPayload, OptionalPartsAreLeftOut) {
    Feedback::setBuild(QStringLiteral("12a"));
    QList<Entry> many;
    for (int i = 0; i < 60; ++i)
        many.append({QStringLiteral("2024-05-01T00:00:00Z"), QStringLiteral("e%1").arg(i),
                     QStringLiteral("sync"), std::nullopt, 1, QStringLiteral("none")});
    const QJsonObject body = FailureRecords::payload(many, {}, QStringLiteral("ID"), std::nullopt,
                                                     {{QStringLiteral("Bad"), 1}, {QStringLiteral("x"), -2}});
    EXPECT_EQ(body.value(QStringLiteral("build")), QJsonValue(0));
    EXPECT_FALSE(body.contains(QStringLiteral("bundle_id")));
    EXPECT_FALSE(body.contains(QStringLiteral("counts")));
    EXPECT_EQ(body.value(QStringLiteral("journey")).toArray(), QJsonArray());
    const QJsonArray sent = body.value(QStringLiteral("events")).toArray();
    ASSERT_EQ(sent.size(), 50);
    EXPECT_EQ(sent.last().toObject().value(QStringLiteral("event")).toString(), QStringLiteral("e49"));
}

} // namespace

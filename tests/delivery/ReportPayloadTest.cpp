#include "DeliveryFixture.h"
#include "SystemFacts.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace {

class ReportPayloadTest : public DeliveryFixture {};

QJsonObject payload(const std::optional<QString>& screenshotError = std::nullopt) {
    return Feedback::reportPayload(FeedbackIntent::bug, QStringLiteral("  It crashed\n"),
                                   QStringLiteral("ada@example.org"), QString(), screenshotError);
}

QJsonObject bundleOf(const QJsonObject& report) {
    return report.value(QStringLiteral("bundle")).toObject();
}

TEST_F(ReportPayloadTest, ReportHasExactlyTheTenKeysWithTheirValues) {
    const QJsonObject report = payload();
    QStringList keys = report.keys();
    keys.sort();
    EXPECT_EQ(keys, (QStringList{"app_key", "bundle", "client_report_id", "contact", "intent", "message",
                                 "platform", "product", "screenshot_url", "version"}));
    EXPECT_EQ(report["app_key"], QJsonValue("notes-app"));
    EXPECT_EQ(report["version"], QJsonValue("2.1"));
    EXPECT_EQ(report["platform"], QJsonValue("linux"));
    EXPECT_EQ(report["product"], QJsonValue("Morvik Notes"));
    EXPECT_EQ(report["intent"], QJsonValue("bug"));
    EXPECT_EQ(report["message"], QJsonValue("  It crashed\n")) << "the message goes out exactly as passed in";
    EXPECT_EQ(report["contact"], QJsonValue("ada@example.org"));
    EXPECT_EQ(report["screenshot_url"], QJsonValue("")) << "no snapshot: empty text, not missing";
    EXPECT_TRUE(report["bundle"].isObject());
}

TEST_F(ReportPayloadTest, EveryReportGetsAFreshUpperCaseUuid) {
    static const QRegularExpression canonical(
        QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
    const QString first = payload()["client_report_id"].toString();
    const QString second = payload()["client_report_id"].toString();
    EXPECT_TRUE(canonical.match(first).hasMatch()) << first.toStdString();
    EXPECT_TRUE(canonical.match(second).hasMatch()) << second.toStdString();
    EXPECT_NE(first, second);
}

TEST_F(ReportPayloadTest, BundleCarriesVersionTimeAndSystemFacts) {
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    const QJsonObject bundle = bundleOf(payload());
    EXPECT_EQ(bundle["app_version"], QJsonValue("2.1 (45)"));

    const QString ts = bundle["ts"].toString();
    static const QRegularExpression wholeSecondsUtc(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ$"));
    EXPECT_TRUE(wholeSecondsUtc.match(ts).hasMatch()) << ts.toStdString();
    const QDateTime stamp = QDateTime::fromString(ts, Qt::ISODate);
    EXPECT_GE(stamp, before);
    EXPECT_LE(stamp, QDateTime::currentDateTimeUtc().addSecs(1));

    EXPECT_EQ(bundle["os"], QJsonValue(SystemFacts::osDescription()));
    EXPECT_TRUE(bundle["os"].toString().contains(QStringLiteral("Linux ")));
    ASSERT_TRUE(bundle["thermal"].isDouble());
    EXPECT_GE(bundle["thermal"].toInt(), 0);
    EXPECT_LE(bundle["thermal"].toInt(), 3);
    EXPECT_EQ(bundle["channel"], QJsonValue("unknown"));
    EXPECT_FALSE(bundle.contains("screenshot_upload"));
    EXPECT_FALSE(bundle.contains("diagnostics"));
    EXPECT_FALSE(bundle.contains("diag_code"));
}

TEST_F(ReportPayloadTest, ScreenshotErrorIsNotedInTheBundle) {
    EXPECT_EQ(bundleOf(payload(QStringLiteral("HTTP 503")))["screenshot_upload"],
              QJsonValue("failed: HTTP 503"));
}

TEST_F(ReportPayloadTest, DiagnosticsAttachmentIsAddedWhenTheHookGivesText) {
    Feedback::setDiagnosticsAttachment([] { return std::optional<QString>(QStringLiteral("log tail")); });
    EXPECT_EQ(bundleOf(payload())["diagnostics"], QJsonValue("log tail"));
    Feedback::setDiagnosticsAttachment([] { return std::optional<QString>(); });
    EXPECT_FALSE(bundleOf(payload()).contains("diagnostics"));
}

TEST_F(ReportPayloadTest, ExtrasAddOnlyNewKeysWithJsonValues) {
    int calls = 0;
    Feedback::setBundleExtras([&calls] {
        ++calls;
        return QVariantMap{
            {"os", "Plan 9"},                                                      // built-in key: skipped
            {"app_version", "0.0"},                                                // built-in key: skipped
            {"plan", "pro"},                                                       // new: added
            {"seats", 12},                                                         // new number
            {"flags", QVariantList{true, 2.5, "x", QVariant::fromValue(nullptr)}}, // list of JSON values
            {"nested", QVariantMap{{"a", QVariantList{1, 2}}}},                    // object of JSON values
            {"opened", QDateTime::currentDateTimeUtc()},                           // a date is not JSON
            {"raw", QByteArray("\x01\x02")},                                       // bytes are not JSON
            {"ratio", std::numeric_limits<double>::quiet_NaN()},                   // NaN is not JSON
            {"deep", QVariantList{1, QVariantMap{{"when", QDateTime::currentDateTimeUtc()}}}},
        };
    });
    const QJsonObject bundle = bundleOf(payload());
    EXPECT_EQ(calls, 1) << "the hook is asked once per report";
    EXPECT_EQ(bundle["os"], QJsonValue(SystemFacts::osDescription()));
    EXPECT_EQ(bundle["app_version"], QJsonValue("2.1 (45)"));
    EXPECT_EQ(bundle["plan"], QJsonValue("pro"));
    EXPECT_EQ(bundle["seats"], QJsonValue(12));
    EXPECT_EQ(bundle["flags"], QJsonValue(QJsonArray{true, 2.5, "x", QJsonValue::Null}));
    EXPECT_EQ(bundle["nested"], QJsonValue(QJsonObject{{"a", QJsonArray{1, 2}}}));
    for (const char* dropped : {"opened", "raw", "ratio", "deep"})
        EXPECT_FALSE(bundle.contains(dropped)) << dropped;
}

struct DiagCodeCase {
    const char* name;
    std::optional<QString> composerDiagCode;
    QVariantMap extras;
    std::optional<QString> expectedCode;
    std::optional<QString> expectedReason;
};

class DiagCodeTest : public DeliveryFixture, public ::testing::WithParamInterface<DiagCodeCase> {};

TEST_P(DiagCodeTest, ComposerCodeAppearsOnlyWhereNoExtraSuppliedOne) {
    const DiagCodeCase& c = GetParam();
    Feedback::setComposerDiagCode(c.composerDiagCode);
    if (!c.extras.isEmpty())
        Feedback::setBundleExtras([extras = c.extras] { return extras; });
    const QJsonObject bundle = bundleOf(payload());
    const auto text = [&](const char* key) {
        return bundle.contains(key) ? std::optional<QString>(bundle[key].toString()) : std::nullopt;
    };
    EXPECT_EQ(text("diag_code"), c.expectedCode);
    EXPECT_EQ(text("diag_reason"), c.expectedReason);
}

INSTANTIATE_TEST_SUITE_P(
    Bundle, DiagCodeTest,
    ::testing::Values(DiagCodeCase{"NoCode", std::nullopt, {}, std::nullopt, std::nullopt},
                      DiagCodeCase{"EmptyCode", QString(), {}, std::nullopt, std::nullopt},
                      DiagCodeCase{"ComposerCode", "D-7", {}, "D-7", "user-report"},
                      DiagCodeCase{"ExtraCodeWins", "D-7", {{"diag_code", "X-1"}}, "X-1", std::nullopt},
                      DiagCodeCase{"ExtraReasonKept", "D-7", {{"diag_reason", "crash"}}, "D-7", "crash"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

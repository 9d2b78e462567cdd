#include "HostileImages.h"
#include "ServiceFixture.h"
#include "TestImages.h"

namespace {

using Feedback::ScreenshotUploadError;
using HostileImages::PngLayout;

struct UnreadableCase {
    const char* name;
    QByteArray bytes;
};

void PrintTo(const UnreadableCase& c, std::ostream* out) {
    *out << c.name;
}

class UnreadableSnapshotTest : public ServiceFixture, public ::testing::WithParamInterface<UnreadableCase> {
protected:
    QJsonObject postedReport() const {
        const auto reports = service.requests("/report");
        return reports.isEmpty() ? QJsonObject() : json(reports.last().body);
    }
};

// Delivery labels every snapshot "image/jpeg". Bytes that no decoder here reads are not a JPEG it
// could vouch for: nothing is uploaded, the words still go out, and the report says why.
TEST_P(UnreadableSnapshotTest, IsNeverPostedAsJpegAndTheReportSaysWhy) {
    const Feedback::DeliveryOutcome result = await(Feedback::deliverOutcome(
        FeedbackIntent::bug, QStringLiteral("It froze"), QString(), GetParam().bytes));
    EXPECT_TRUE(service.requests("/screenshot").isEmpty());
    ASSERT_TRUE(result.outcome.isSent());
    EXPECT_EQ(result.screenshotNote, Feedback::screenshotNotAttachedNote());
    const QJsonObject report = postedReport();
    EXPECT_EQ(report["screenshot_url"], QJsonValue(""));
    EXPECT_EQ(report["bundle"].toObject()["screenshot_upload"],
              QJsonValue("failed: the snapshot is not a readable image"));

    // Any spelling of the JPEG label is held to the same rule; no retry can make the bytes readable.
    for (const char* label : {"image/jpeg", "IMAGE/JPEG", "image/pjpeg", "image/jpeg; q=0.9"}) {
        const Feedback::ScreenshotUploadResult upload =
            await(Feedback::uploadScreenshotResult(GetParam().bytes, QString::fromLatin1(label)));
        ASSERT_FALSE(upload.isSuccess()) << label;
        EXPECT_EQ(*upload.error(), ScreenshotUploadError::unreadable()) << label;
        EXPECT_FALSE(upload.error()->retryable());
    }
    EXPECT_TRUE(service.requests("/screenshot").isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Snapshot, UnreadableSnapshotTest,
    ::testing::Values(
        UnreadableCase{"NotAPicture", QByteArray("%PDF-1.4 not a picture")},
        UnreadableCase{"CutOffJpeg",
                       TestImages::jpeg(TestImages::halves(64, 64, Qt::red, Qt::blue), 90).left(40)},
        UnreadableCase{"InterlacedPngAboveThePixelLimit",
                       HostileImages::zeroPng(16384, 16384, PngLayout::interlacedRgb8, false)},
        UnreadableCase{"JpegAboveThePixelLimit",
                       HostileImages::jpegClaiming(
                           TestImages::jpeg(TestImages::halves(64, 64, Qt::red, Qt::blue), 90), 9000, 9000)}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

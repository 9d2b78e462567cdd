#include "BoxResampler.h"
#include "DeliveryFixture.h"
#include "ExifOrientation.h"
#include "HostileImages.h"
#include "ScreenshotImage.h"
#include "TestImages.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImageWriter>

#include <cstring>
#include <functional>

namespace {

using TestImages::PngKind;

class PreparationTest : public DeliveryFixture {};

QImage gradient(int width, int height) {
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixelColor(x, y, QColor(x * 255 / width, y * 255 / height, 128));
    return image;
}

bool near(QColor a, QColor b, int tolerance = 12) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

TEST_F(PreparationTest, SmallJpegPassesThroughByteForByte) {
    const QByteArray jpeg = TestImages::jpeg(TestImages::noise(1000, 800, 1), 92);
    ASSERT_LE(jpeg.size(), 1500000);
    EXPECT_EQ(Feedback::preparedScreenshot(jpeg), jpeg);
}

TEST_F(PreparationTest, LargeJpegIsShrunkToTheEdgeAtQualityEighty) {
    const QByteArray jpeg = TestImages::jpeg(gradient(3000, 2000), 95);
    const auto prepared = Feedback::preparedScreenshot(jpeg);
    ASSERT_TRUE(prepared);
    const QImage picture = TestImages::decoded(*prepared);
    EXPECT_EQ(picture.size(), QSize(1600, 1067));
    EXPECT_EQ(TestImages::jpegQuality(*prepared), 80);
}

TEST_F(PreparationTest, JpegOverTheBudgetIsReencodedEvenWhenSmallEnough) {
    const QByteArray jpeg = TestImages::jpeg(TestImages::noise(1000, 800, 2), 100);
    ASSERT_GT(jpeg.size(), 200000);
    const auto prepared = Feedback::preparedScreenshot(jpeg, std::nullopt, 200000);
    ASSERT_TRUE(prepared);
    EXPECT_NE(*prepared, jpeg);
    EXPECT_LE(prepared->size(), 200000);
    EXPECT_FALSE(TestImages::decoded(*prepared).isNull());
}

TEST_F(PreparationTest, PngWithinTheBudgetIsStillReencodedAtItsOwnSize) {
    const QByteArray png = TestImages::png(gradient(1000, 800));
    const auto prepared = Feedback::preparedScreenshot(png);
    ASSERT_TRUE(prepared);
    EXPECT_TRUE(prepared->startsWith("\xFF\xD8\xFF"));
    EXPECT_EQ(TestImages::decoded(*prepared).size(), QSize(1000, 800));
    EXPECT_EQ(TestImages::jpegQuality(*prepared), 80);
}

TEST_F(PreparationTest, BytesThatAreNoImageGiveNothing) {
    EXPECT_EQ(Feedback::preparedScreenshot("definitely not an image"), std::nullopt);
    EXPECT_EQ(Feedback::preparedScreenshot(QByteArray()), std::nullopt);
    const QByteArray png = TestImages::png(gradient(300, 200));
    EXPECT_EQ(Feedback::preparedScreenshot(png.left(png.size() / 2)), std::nullopt) << "cut-off PNG";
    EXPECT_EQ(Feedback::preparedScreenshot(png.left(20)), std::nullopt) << "signature and no header";
}

TEST_F(PreparationTest, LimitsAreRaisedToTheirFloors) {
    const QByteArray png = TestImages::png(TestImages::noise(400, 300, 3));
    const auto tiny = Feedback::preparedScreenshot(png, 10, 1000);
    ASSERT_TRUE(tiny);
    EXPECT_EQ(TestImages::decoded(*tiny).size(), QSize(64, 48)) << "edge 10 is raised to 64";
    EXPECT_EQ(TestImages::jpegQuality(*tiny), 80) << "a 64-pixel picture fits 16000 bytes at once";

    // Noise at 320 pixels fits 16000 bytes only at quality 60: a budget left at 1000 would have run
    // on to the last attempt at quality 50.
    const QByteArray big = TestImages::png(TestImages::noise(1200, 900, 4));
    const auto fitted = Feedback::preparedScreenshot(big, 320, 1000);
    ASSERT_TRUE(fitted);
    EXPECT_EQ(TestImages::decoded(*fitted).size(), QSize(320, 240));
    EXPECT_LE(fitted->size(), 16000);
    EXPECT_EQ(TestImages::jpegQuality(*fitted), 60);
}

TEST_F(PreparationTest, LadderShrinksAndStopsAtTheFirstFit) {
    const QByteArray png = TestImages::png(TestImages::noise(2000, 1500, 5));
    const auto image = ScreenshotImage::open(png);
    ASSERT_TRUE(image);
    // The third attempt: 900 pixels at quality 60. A budget of exactly its size must stop there.
    const auto third = ScreenshotImage::encodeJpeg(*image->thumbnail(900), 60);
    ASSERT_TRUE(third);
    const auto prepared = Feedback::preparedScreenshot(png, 1600, int(third->size()));
    ASSERT_TRUE(prepared);
    EXPECT_EQ(*prepared, *third);
    EXPECT_EQ(TestImages::decoded(*prepared).size(), QSize(900, 675));
    EXPECT_EQ(TestImages::jpegQuality(*prepared), 60);
}

TEST_F(PreparationTest, AfterFiveAttemptsTheSmallestEncodingIsKept) {
    const QByteArray png = TestImages::png(TestImages::noise(2000, 1500, 6));
    const auto prepared = Feedback::preparedScreenshot(png, 1600, 16000);
    ASSERT_TRUE(prepared);
    EXPECT_GT(prepared->size(), 16000) << "nothing fits; the best try is returned anyway";
    EXPECT_EQ(TestImages::decoded(*prepared).size(), QSize(506, 380)) << "1600, 1200, 900, 675, 506";
    EXPECT_EQ(TestImages::jpegQuality(*prepared), 50);
}

struct PngVariant {
    const char* name;
    PngKind kind;
};

class PngVariantTest : public DeliveryFixture, public ::testing::WithParamInterface<PngVariant> {};

TEST_P(PngVariantTest, EveryLayoutDecodesToTheSameColours) {
    const QByteArray png = TestImages::png(
        TestImages::halves(200, 100, QColor(200, 40, 40), QColor(40, 40, 200)), GetParam().kind);
    ASSERT_FALSE(png.isEmpty());
    const auto prepared = Feedback::preparedScreenshot(png, 100);
    ASSERT_TRUE(prepared);
    const QImage picture = TestImages::decoded(*prepared);
    ASSERT_EQ(picture.size(), QSize(100, 50));
    const bool gray = GetParam().kind == PngKind::gray;
    const QColor left = gray ? QColor(88, 88, 88) : QColor(200, 40, 40);
    const QColor right = gray ? QColor(58, 58, 58) : QColor(40, 40, 200);
    EXPECT_TRUE(near(picture.pixelColor(10, 25), left)) << picture.pixelColor(10, 25).name().toStdString();
    EXPECT_TRUE(near(picture.pixelColor(90, 25), right)) << picture.pixelColor(90, 25).name().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Png, PngVariantTest,
                         ::testing::Values(PngVariant{"Rgb", PngKind::rgb}, PngVariant{"Rgba", PngKind::rgba},
                                           PngVariant{"Gray", PngKind::gray},
                                           PngVariant{"Palette", PngKind::palette},
                                           PngVariant{"SixteenBit", PngKind::sixteenBit},
                                           PngVariant{"Interlaced", PngKind::interlaced}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PreparationTest, TransparencyBecomesWhite) {
    const QByteArray png = TestImages::png(
        TestImages::halves(100, 100, QColor(0, 0, 0, 0), QColor(0, 0, 0, 255)), PngKind::rgba);
    const QImage picture = TestImages::decoded(*Feedback::preparedScreenshot(png));
    EXPECT_TRUE(near(picture.pixelColor(10, 50), Qt::white));
    EXPECT_TRUE(near(picture.pixelColor(90, 50), Qt::black));
}

struct OrientationCase {
    const char* name;
    bool png;
    int orientation;
    QSize size;
    QPoint redAt; // where the stored left (red) half ends up
};

class OrientationTest : public DeliveryFixture, public ::testing::WithParamInterface<OrientationCase> {};

TEST_P(OrientationTest, PictureIsTurnedUpright) {
    const OrientationCase& c = GetParam();
    // Stored 400x200: left half red, right half blue. Too large for the 300-pixel edge, so re-encoded.
    const QImage stored = TestImages::halves(400, 200, Qt::red, Qt::blue);
    const QByteArray bytes = c.png ? TestImages::png(stored, PngKind::rgb, c.orientation)
                                   : TestImages::jpeg(stored, 95, c.orientation);
    const auto prepared = Feedback::preparedScreenshot(bytes, 300);
    ASSERT_TRUE(prepared);
    const QImage picture = TestImages::decoded(*prepared);
    ASSERT_EQ(picture.size(), c.size);
    EXPECT_TRUE(near(picture.pixelColor(c.redAt), Qt::red, 40))
        << picture.pixelColor(c.redAt).name().toStdString();
    const QPoint opposite(c.size.width() - 1 - c.redAt.x(), c.size.height() - 1 - c.redAt.y());
    EXPECT_TRUE(near(picture.pixelColor(opposite), Qt::blue, 40));
}

INSTANTIATE_TEST_SUITE_P(
    Exif, OrientationTest,
    ::testing::Values(OrientationCase{"JpegUpright", false, 1, {300, 150}, {20, 75}},
                      OrientationCase{"JpegTurnedClockwise", false, 6, {150, 300}, {75, 20}},
                      OrientationCase{"JpegTurnedCounterClockwise", false, 8, {150, 300}, {75, 280}},
                      OrientationCase{"JpegHalfTurn", false, 3, {300, 150}, {280, 75}},
                      OrientationCase{"JpegMirrored", false, 2, {300, 150}, {280, 75}},
                      OrientationCase{"PngTurnedClockwise", true, 6, {150, 300}, {75, 20}},
                      OrientationCase{"PngTransposed", true, 5, {150, 300}, {75, 20}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PreparationTest, OtherFormatsGoThroughQtReaders) {
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(gradient(2000, 1000).save(&buffer, "BMP"));
    const auto prepared = Feedback::preparedScreenshot(bmp);
    ASSERT_TRUE(prepared);
    EXPECT_EQ(TestImages::decoded(*prepared).size(), QSize(1600, 800));
}

TEST_F(PreparationTest, ClaimedGiantPictureIsRefusedQuickly) {
    // A valid header that promises 30000 x 30000 pixels, with almost no data behind it.
    QByteArray png = TestImages::png(gradient(8, 8));
    const auto setBigEndian = [&](int offset, quint32 value) {
        for (int i = 0; i < 4; ++i)
            png[offset + i] = char(value >> (24 - 8 * i));
    };
    setBigEndian(16, 30000);
    setBigEndian(20, 30000);
    // Fix the header's CRC so that libpng accepts it.
    const QByteArray chunk = png.mid(12, 17);
    quint32 crc = 0xFFFFFFFF;
    for (char byte : chunk) {
        crc ^= uchar(byte);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
    }
    setBigEndian(29, ~crc);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(Feedback::preparedScreenshot(png), std::nullopt);
    EXPECT_LT(timer.elapsed(), 2000);
}

// The most the process's resident size rose above where it stood while `work` ran, in MiB: the peak
// is reset first (the kernel's clear_refs), so earlier tests do not count.
qint64 peakGrowthMiB(const std::function<void()>& work) {
    const auto status = [](const char* key) {
        QFile file(QStringLiteral("/proc/self/status"));
        if (!file.open(QIODevice::ReadOnly))
            return qint64(-1);
        for (const QByteArray& line : file.readAll().split('\n'))
            if (line.startsWith(key))
                return line.mid(qsizetype(std::strlen(key))).trimmed().split(' ').first().toLongLong() / 1024;
        return qint64(-1);
    };
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (!clear.open(QIODevice::WriteOnly) || clear.write("5") != 1)
        return -1;
    clear.close();
    const qint64 before = status("VmRSS:");
    work();
    return status("VmHWM:") - before;
}

QByteArray bmpClaiming(int width, int height) {
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    gradient(8, 8).save(&buffer, "BMP");
    for (int i = 0; i < 4; ++i) {
        bmp[18 + i] = char((width >> (8 * i)) & 0xFF);
        bmp[22 + i] = char((height >> (8 * i)) & 0xFF);
    }
    return bmp;
}

struct HostileCase {
    const char* name;
    std::function<QByteArray()> bytes;
    QSize prepared; // empty: refused
    qint64 peakMiB = 100;
};

void PrintTo(const HostileCase& c, std::ostream* out) {
    *out << c.name;
}

class HostilePictureTest : public DeliveryFixture, public ::testing::WithParamInterface<HostileCase> {};

// Whatever the header promises, preparation never holds more than a bounded amount: pictures above the
// limits are refused on their header, and one at the limit is decoded row by row (a progressive JPEG
// keeps its coefficients, at most 256 MiB).
TEST_P(HostilePictureTest, IsRefusedOnItsHeaderOrDecodedInBoundedMemory) {
    const QByteArray bytes = GetParam().bytes();
    ASSERT_FALSE(bytes.isEmpty());
    std::optional<QByteArray> prepared;
    const qint64 growth = peakGrowthMiB([&] { prepared = Feedback::preparedScreenshot(bytes); });
    ASSERT_GE(growth, 0) << "no /proc/self/clear_refs";
    EXPECT_LT(growth, GetParam().peakMiB) << "MiB";
    const bool accepted = !GetParam().prepared.isEmpty();
    EXPECT_EQ(prepared.has_value(), accepted);
    EXPECT_EQ(ScreenshotImage::open(bytes).has_value(), accepted);
    if (prepared) {
        EXPECT_EQ(TestImages::decoded(*prepared).size(), GetParam().prepared);
    }
}

using HostileImages::PngLayout;
using HostileImages::zeroPng;

INSTANTIATE_TEST_SUITE_P(
    Bombs, HostilePictureTest,
    ::testing::Values(
        HostileCase{"Png40000Squared", [] { return zeroPng(40000, 40000, PngLayout::rgb8, false); }, {}},
        // Would need the whole picture at once: 16384 x 16384 x 3 bytes.
        HostileCase{"InterlacedPng16384Squared",
                    [] { return zeroPng(16384, 16384, PngLayout::interlacedRgb8, false); },
                    {}},
        HostileCase{
            "PngOnePixelAboveTheLimit", [] { return zeroPng(8193, 8192, PngLayout::rgb8, false); }, {}},
        // Few enough pixels, but one row alone would be hundreds of megabytes.
        HostileCase{"PngOneRowOfTheWholeLimit",
                    [] { return zeroPng(quint32(ScreenshotImage::maxPixels), 1, PngLayout::rgb8, false); },
                    {}},
        HostileCase{"JpegClaiming65000Squared",
                    [] {
                        return HostileImages::jpegClaiming(
                            TestImages::jpeg(TestImages::halves(64, 64, Qt::red, Qt::blue), 90), 65000,
                            65000);
                    },
                    {}},
        // Within the pixel limit, but every coefficient of a progressive 4:4:4 picture would be held.
        HostileCase{"ProgressiveJpegClaiming8192Squared",
                    [] {
                        return HostileImages::jpegClaiming(
                            TestImages::progressiveJpeg(TestImages::halves(64, 64, Qt::red, Qt::blue), 90),
                            8192, 8192);
                    },
                    {}},
        HostileCase{"ProgressiveJpegOf8KScreen",
                    [] {
                        return HostileImages::jpegClaiming(
                            TestImages::progressiveJpeg(TestImages::halves(64, 64, Qt::red, Qt::blue), 90),
                            7680, 4320);
                    },
                    {1600, 900},
                    300}, // its coefficients: 7680 x 4320 x 3 samples x 2 bytes
        HostileCase{"BmpClaiming10000Squared", [] { return bmpClaiming(10000, 10000); }, {}},
        HostileCase{"PngAtTheLimit", [] { return zeroPng(8192, 8192, PngLayout::rgb8, true); }, {1600, 1600}},
        HostileCase{
            "WidestPngAtTheLimit", [] { return zeroPng(65535, 1024, PngLayout::rgba16, true); }, {1600, 25}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BoxResamplerTest, AveragesByCoveredArea) {
    // Three source columns 0, 90, 180 into two output columns: each output covers 1.5 source pixels.
    BoxResampler resampler(3, 1, 2, 1);
    const std::uint8_t row[9] = {0, 0, 0, 90, 90, 90, 180, 180, 180};
    resampler.addRow(row);
    const QImage out = resampler.result();
    EXPECT_EQ(out.pixelColor(0, 0), QColor(30, 30, 30));    // (0 * 1 + 90 * 0.5) / 1.5
    EXPECT_EQ(out.pixelColor(1, 0), QColor(150, 150, 150)); // (90 * 0.5 + 180) / 1.5
}

TEST(BoxResamplerTest, RowsSplitAcrossOutputRows) {
    BoxResampler resampler(1, 3, 1, 2);
    const std::uint8_t rows[3][3] = {{0, 0, 0}, {90, 90, 90}, {180, 180, 180}};
    for (const auto& row : rows)
        resampler.addRow(row);
    EXPECT_EQ(resampler.result().pixelColor(0, 0), QColor(30, 30, 30));
    EXPECT_EQ(resampler.result().pixelColor(0, 1), QColor(150, 150, 150));
}

TEST(BoxResamplerTest, FlatColourStaysFlatAtAnyRatio) {
    for (const QSize target : {QSize(1600, 900), QSize(1003, 577), QSize(1, 1), QSize(5120, 2880)}) {
        BoxResampler resampler(5120, 2880, target.width(), target.height());
        std::vector<std::uint8_t> row(5120 * 3);
        for (std::size_t i = 0; i < row.size(); i += 3) {
            row[i] = 17;
            row[i + 1] = 200;
            row[i + 2] = 255;
        }
        for (int y = 0; y < 2880; ++y)
            resampler.addRow(row.data());
        const QImage out = resampler.result();
        ASSERT_EQ(out.size(), target);
        for (const QPoint p : {QPoint(0, 0), QPoint(target.width() - 1, target.height() - 1),
                               QPoint(target.width() / 2, target.height() / 3)})
            EXPECT_EQ(out.pixelColor(p), QColor(17, 200, 255)) << target.width() << "x" << target.height();
    }
}

TEST(BoxResamplerTest, RgbaRowsAreLaidOntoWhite) {
    // Opaque grey, half-transparent black, fully transparent red: 4 source pixels into 2.
    BoxResampler resampler(4, 1, 2, 1, 4);
    const std::uint8_t row[16] = {100, 100, 100, 255, 100, 100, 100, 255, 0, 0, 0, 128, 255, 0, 0, 0};
    resampler.addRow(row);
    EXPECT_EQ(resampler.result().pixelColor(0, 0), QColor(100, 100, 100));
    // Black at alpha 128 on white is 127; transparent red is white: (127 + 255) / 2 = 191.
    EXPECT_EQ(resampler.result().pixelColor(1, 0), QColor(191, 191, 191));
}

TEST(BoxResamplerTest, OpaqueRgbaMatchesRgb) {
    const QImage picture = TestImages::noise(97, 61, 11);
    BoxResampler rgb(97, 61, 40, 25, 3);
    BoxResampler rgba(97, 61, 40, 25, 4);
    const QImage wide = picture.convertToFormat(QImage::Format_RGBA8888);
    for (int y = 0; y < 61; ++y) {
        rgb.addRow(picture.constScanLine(y));
        rgba.addRow(wide.constScanLine(y));
    }
    EXPECT_EQ(rgb.result(), rgba.result());
}

TEST(BoxResamplerTest, FittedSizeKeepsTheAspectAndNeverEnlarges) {
    EXPECT_EQ(BoxResampler::fittedSize(5120, 2880, 1600), QSize(1600, 900));
    EXPECT_EQ(BoxResampler::fittedSize(3024, 4032, 1600), QSize(1200, 1600));
    EXPECT_EQ(BoxResampler::fittedSize(1000, 800, 1600), QSize(1000, 800));
    EXPECT_EQ(BoxResampler::fittedSize(10000, 3, 64), QSize(64, 1));
}

TEST(ExifOrientationTest, MalformedBlocksCountAsUpright) {
    const QByteArray upright = TestImages::jpeg(TestImages::halves(8, 8, Qt::red, Qt::blue), 90);
    EXPECT_EQ(ExifOrientation::fromJpeg(upright), 1);
    EXPECT_EQ(ExifOrientation::fromJpeg(TestImages::jpeg(TestImages::halves(8, 8, Qt::red, Qt::blue), 90, 6)),
              6);
    QByteArray cut = TestImages::jpeg(TestImages::halves(8, 8, Qt::red, Qt::blue), 90, 6).left(30);
    EXPECT_EQ(ExifOrientation::fromJpeg(cut), 1);
    const std::uint8_t bogusOffset[] = {'I', 'I', 0x2A, 0, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0};
    EXPECT_EQ(ExifOrientation::fromTiff(bogusOffset, sizeof bogusOffset), 1);
    const std::uint8_t tooManyEntries[] = {'M', 'M', 0, 0x2A, 0, 0, 0, 8, 0xFF, 0xFF, 0x01, 0x12};
    EXPECT_EQ(ExifOrientation::fromTiff(tooManyEntries, sizeof tooManyEntries), 1);
}

} // namespace

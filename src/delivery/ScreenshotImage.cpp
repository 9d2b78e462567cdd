#include "ScreenshotImage.h"

#include "BoxResampler.h"
#include "ExifOrientation.h"

#include <QBuffer>
#include <QImageReader>

#include <png.h>
#include <turbojpeg.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr unsigned char pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool startsWith(const QByteArray& bytes, const unsigned char* prefix, int length) {
    return bytes.size() >= length && std::memcmp(bytes.constData(), prefix, std::size_t(length)) == 0;
}

bool isJpeg(const QByteArray& bytes) {
    static constexpr unsigned char soi[3] = {0xFF, 0xD8, 0xFF};
    return startsWith(bytes, soi, 3);
}

bool sizeWithinLimits(QSize size) {
    return ScreenshotImage::withinLimits(size.width(), size.height());
}

// Qt's readers refuse on their own to allocate more than this for one picture: a limit that holds
// even where a plugin's size in the header and its decoded picture disagree.
constexpr int qtAllocationLimitMiB = int(ScreenshotImage::maxPixels * 4 / (1024 * 1024));

void limitQtReader(QImageReader& reader) {
    reader.setAllocationLimit(qtAllocationLimitMiB);
}

// Whether the JPEG's frame is progressive (SOF2, SOF6, SOF10 or SOF14): segments are walked from the
// start of image up to the first frame header.
bool isProgressiveJpeg(const QByteArray& bytes) {
    qsizetype at = 2;
    while (at + 4 <= bytes.size()) {
        if (uchar(bytes[at]) != 0xFF)
            return false;
        const uchar marker = uchar(bytes[at + 1]);
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
        if (marker == 0xDA) // scan data before any frame header
            return false;
        at += 2 + ((qsizetype(uchar(bytes[at + 2])) << 8) | uchar(bytes[at + 3]));
    }
    return false;
}

// What decoding a JPEG holds for the whole picture must fit what the limit allows any path (four
// bytes a pixel at the pixel limit). A progressive JPEG keeps every DCT coefficient, two bytes a
// sample, until its last scan: 6 bytes a pixel at 4:4:4, 3 at 4:2:0, 8 for CMYK. Qt's reader, which
// decodes CMYK, also holds the whole decoded picture at four bytes a pixel.
bool jpegFitsTheLimit(const QByteArray& bytes, QSize size, int subsampling, int colorspace) {
    const bool cmyk = colorspace == TJCS_CMYK || colorspace == TJCS_YCCK;
    int halfBytes = 0; // per pixel, in halves of a byte
    if (isProgressiveJpeg(bytes)) {
        if (cmyk)
            halfBytes = 16;
        else if (subsampling == TJSAMP_GRAY)
            halfBytes = 4;
        else if (subsampling == TJSAMP_420 || subsampling == TJSAMP_411)
            halfBytes = 6;
        else if (subsampling == TJSAMP_422 || subsampling == TJSAMP_440)
            halfBytes = 8;
        else
            halfBytes = 12;
    }
    if (cmyk)
        halfBytes += 8;
    return qint64(size.width()) * size.height() * halfBytes <= ScreenshotImage::maxPixels * 4 * 2;
}

struct TurboHandle {
    tjhandle handle;
    explicit TurboHandle(tjhandle h)
        : handle(h) {}
    ~TurboHandle() {
        if (handle)
            tjDestroy(handle);
    }
    TurboHandle(const TurboHandle&) = delete;
    TurboHandle& operator=(const TurboHandle&) = delete;
};

// ---- PNG --------------------------------------------------------------------------------------------
// libpng reports errors with longjmp. Everything between the setjmp below and libpng's calls is plain C
// data, so no C++ destructor is ever skipped; the row consumer is called between libpng calls.

struct PngSource {
    const unsigned char* data;
    std::size_t size;
    std::size_t position;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (length > source->size - source->position)
        png_error(png, "truncated");
    std::memcpy(out, source->data + source->position, length);
    source->position += length;
}

// A damaged picture is an ordinary outcome here, not something to print.
void quietWarning(png_structp, png_const_charp) {}
[[noreturn]] void quietError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

struct PngHeader {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int orientation = 1;
    int channels = 0; // after the transformations: 3 (RGB) or 4 (RGBA)
    bool interlaced = false;
};

using RowConsumer = void (*)(void* context, const png_byte* row);

struct PngJob {
    PngSource source;
    PngHeader header;
    bool decodeRows; // false: stop after the header
    // Rows go to the consumer in order; an interlaced picture is gathered whole first.
    RowConsumer consumer;
    void* context;
    png_bytep row;        // one row, allocated by the caller after the header pass
    png_bytep wholeImage; // interlaced pictures only
};

// Header pass (decodeRows false) or full decode. Returns false on any libpng error, and right after
// the header for a picture above the limits.
bool runPng(PngJob* job) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, quietWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    // libpng itself refuses a longer side while it reads the header.
    png_set_user_limits(png, ScreenshotImage::maxSide, ScreenshotImage::maxSide);
    png_set_read_fn(png, &job->source, readFromMemory);
    // The zlib and chunk checksums guard archives against bit rot; a damaged snapshot would only show
    // damaged pixels, and skipping them saves a pass over the whole decompressed picture.
    png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
    png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
    png_read_info(png, info);
    job->header.width = png_get_image_width(png, info);
    job->header.height = png_get_image_height(png, info);
    job->header.interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    if (!ScreenshotImage::withinLimits(job->header.width, job->header.height)) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_bytep exif = nullptr;
    png_uint_32 exifLength = 0;
    if (png_get_eXIf_1(png, info, &exifLength, &exif) && exif)
        job->header.orientation = ExifOrientation::fromTiff(exif, exifLength);
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    job->header.channels = png_get_channels(png, info);
    if (!job->decodeRows || (job->header.channels != 3 && job->header.channels != 4)) {
        png_destroy_read_struct(&png, &info, nullptr);
        return job->header.channels == 3 || job->header.channels == 4;
    }
    const std::size_t stride = std::size_t(job->header.width) * std::size_t(job->header.channels);
    if (passes > 1) {
        for (int pass = 0; pass < passes; ++pass)
            for (png_uint_32 y = 0; y < job->header.height; ++y)
                png_read_row(png, job->wholeImage + std::size_t(y) * stride, nullptr);
        for (png_uint_32 y = 0; y < job->header.height; ++y)
            job->consumer(job->context, job->wholeImage + std::size_t(y) * stride);
    } else {
        for (png_uint_32 y = 0; y < job->header.height; ++y) {
            png_read_row(png, job->row, nullptr);
            job->consumer(job->context, job->row);
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

PngJob pngJob(const QByteArray& bytes, bool decodeRows) {
    PngJob job{};
    job.source = {reinterpret_cast<const unsigned char*>(bytes.constData()), std::size_t(bytes.size()), 0};
    job.decodeRows = decodeRows;
    return job;
}

void feedResampler(void* context, const png_byte* row) {
    static_cast<BoxResampler*>(context)->addRow(row);
}

// ---- Qt image readers ---------------------------------------------------------------------------------

QImage flattenedRgb(const QImage& image) {
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_RGB888);
    QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    if (rgba.isNull())
        return {};
    for (int y = 0; y < rgba.height(); ++y)
        BoxResampler::flattenOntoWhite(rgba.constScanLine(y), rgba.scanLine(y), rgba.width());
    // Every pixel is opaque now, so the conversion drops alpha without mixing.
    return rgba.convertToFormat(QImage::Format_RGB888);
}

std::optional<QImage> shrunk(const QImage& rgb, int longSide) {
    const QSize target = BoxResampler::fittedSize(rgb.width(), rgb.height(), longSide);
    if (target == rgb.size())
        return rgb;
    BoxResampler resampler(rgb.width(), rgb.height(), target.width(), target.height());
    if (!resampler.isValid())
        return std::nullopt;
    for (int y = 0; y < rgb.height(); ++y)
        resampler.addRow(rgb.constScanLine(y));
    return resampler.result();
}

} // namespace

std::optional<ScreenshotImage> ScreenshotImage::open(const QByteArray& bytes) {
    if (startsWith(bytes, pngSignature, 8)) {
        PngJob job = pngJob(bytes, false);
        if (!runPng(&job))
            return std::nullopt;
        return ScreenshotImage(bytes, Encoding::png, QSize(int(job.header.width), int(job.header.height)));
    }
    if (isJpeg(bytes)) {
        TurboHandle decoder(tjInitDecompress());
        int width = 0;
        int height = 0;
        int subsampling = 0;
        int colorspace = 0;
        if (decoder.handle &&
            tjDecompressHeader3(decoder.handle, reinterpret_cast<const unsigned char*>(bytes.constData()),
                                static_cast<unsigned long>(bytes.size()), &width, &height, &subsampling,
                                &colorspace) == 0) {
            const QSize size(width, height);
            if (!sizeWithinLimits(size) || !jpegFitsTheLimit(bytes, size, subsampling, colorspace))
                return std::nullopt;
            return ScreenshotImage(bytes, Encoding::jpeg, size);
        }
        // A JPEG turbojpeg cannot parse may still be readable by Qt's reader.
    }
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    limitQtReader(reader);
    if (!reader.canRead() || reader.imageCount() == 0)
        return std::nullopt;
    // A format that does not tell its size before decoding cannot be checked against the limits.
    const QSize size = reader.size();
    if (!sizeWithinLimits(size))
        return std::nullopt;
    const Encoding encoding = reader.format() == "jpeg" ? Encoding::jpeg : Encoding::other;
    return ScreenshotImage(bytes, encoding, size);
}

std::optional<QImage> ScreenshotImage::thumbnail(int longSide) const {
    if (longSide < 1)
        return std::nullopt;
    if (encoding_ == Encoding::png)
        return pngThumbnail(longSide);
    // CMYK JPEGs, which libturbojpeg cannot turn into RGB, go through Qt; other JPEGs it refuses are
    // refused here too (a progressive JPEG with too many scans would keep Qt's reader busy for long).
    bool turboCannot = !isJpeg(bytes_);
    if (encoding_ == Encoding::jpeg && !turboCannot) {
        std::optional<QImage> picture = jpegThumbnail(longSide, &turboCannot);
        if (picture || !turboCannot)
            return picture;
    }
    return genericThumbnail(longSide);
}

std::optional<QImage> ScreenshotImage::pngThumbnail(int longSide) const {
    PngJob header = pngJob(bytes_, false);
    if (!runPng(&header)) // also refuses a picture above the limits
        return std::nullopt;
    const int width = int(header.header.width);
    const int height = int(header.header.height);
    const int channels = header.header.channels;
    const QSize stored = BoxResampler::fittedSize(width, height, longSide);
    BoxResampler resampler(width, height, stored.width(), stored.height(), channels);
    if (!resampler.isValid())
        return std::nullopt;
    const std::size_t stride = std::size_t(width) * std::size_t(channels);
    std::vector<std::uint8_t> row(stride);
    std::vector<std::uint8_t> whole(header.header.interlaced ? stride * std::size_t(height) : 0);
    PngJob job = pngJob(bytes_, true);
    job.consumer = feedResampler;
    job.context = &resampler;
    job.row = row.data();
    job.wholeImage = whole.data();
    if (!runPng(&job) || job.header.channels != channels)
        return std::nullopt;
    return ExifOrientation::applied(resampler.result(), header.header.orientation);
}

std::optional<QImage> ScreenshotImage::jpegThumbnail(int longSide, bool* turboCannot) const {
    TurboHandle decoder(tjInitDecompress());
    if (!decoder.handle)
        return std::nullopt;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes_.constData());
    const auto length = static_cast<unsigned long>(bytes_.size());
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colorspace = 0;
    if (tjDecompressHeader3(decoder.handle, data, length, &width, &height, &subsampling, &colorspace) != 0) {
        *turboCannot = true;
        return std::nullopt;
    }
    if (colorspace == TJCS_CMYK || colorspace == TJCS_YCCK) {
        *turboCannot = true;
        return std::nullopt;
    }
    if (!sizeWithinLimits(QSize(width, height)))
        return std::nullopt;
    const QSize target = BoxResampler::fittedSize(width, height, longSide);
    // Let the decoder drop detail in the DCT domain: the smallest of its scales that still covers
    // the target, so only the remaining step is averaged here.
    int factorCount = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&factorCount);
    int scaledWidth = width;
    int scaledHeight = height;
    for (int i = 0; factors && i < factorCount; ++i) {
        const int w = TJSCALED(width, factors[i]);
        const int h = TJSCALED(height, factors[i]);
        if (w >= target.width() && h >= target.height() &&
            qint64(w) * h < qint64(scaledWidth) * scaledHeight) {
            scaledWidth = w;
            scaledHeight = h;
        }
    }
    QImage decoded(scaledWidth, scaledHeight, QImage::Format_RGB888);
    if (decoded.isNull())
        return std::nullopt;
    if (tjDecompress2(decoder.handle, data, length, decoded.bits(), scaledWidth, int(decoded.bytesPerLine()),
                      scaledHeight, TJPF_RGB, TJFLAG_LIMITSCANS) != 0 &&
        tjGetErrorCode(decoder.handle) != TJERR_WARNING) // a damaged tail still gives a picture
        return std::nullopt;
    const std::optional<QImage> small = shrunk(decoded, longSide);
    if (!small)
        return std::nullopt;
    return ExifOrientation::applied(*small, ExifOrientation::fromJpeg(bytes_));
}

std::optional<QImage> ScreenshotImage::genericThumbnail(int longSide) const {
    QBuffer buffer;
    buffer.setData(bytes_);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    limitQtReader(reader);
    reader.setAutoTransform(true);
    if (!sizeWithinLimits(reader.size()))
        return std::nullopt;
    const QImage image = reader.read();
    if (image.isNull() || !sizeWithinLimits(image.size()))
        return std::nullopt;
    const QImage rgb = flattenedRgb(image);
    if (rgb.isNull())
        return std::nullopt;
    return shrunk(rgb, longSide);
}

std::optional<QByteArray> ScreenshotImage::encodeJpeg(const QImage& picture, int quality) {
    if (picture.isNull())
        return std::nullopt;
    const QImage rgb = picture.format() == QImage::Format_RGB888 ? picture : flattenedRgb(picture);
    if (rgb.isNull())
        return std::nullopt;
    TurboHandle encoder(tjInitCompress());
    if (!encoder.handle)
        return std::nullopt;
    const int width = rgb.width();
    const int height = rgb.height();
    // Encoded into a buffer of the worst-case size, then trimmed: no copy of the finished JPEG.
    const unsigned long capacity = tjBufSize(width, height, TJSAMP_420);
    if (capacity == static_cast<unsigned long>(-1) || capacity > unsigned(std::numeric_limits<int>::max()))
        return std::nullopt;
    QByteArray out(qsizetype(capacity), Qt::Uninitialized);
    auto* target = reinterpret_cast<unsigned char*>(out.data());
    unsigned long size = capacity;
    if (tjCompress2(encoder.handle, rgb.constBits(), width, int(rgb.bytesPerLine()), height, TJPF_RGB,
                    &target, &size, TJSAMP_420, std::clamp(quality, 1, 100), TJFLAG_NOREALLOC) != 0)
        return std::nullopt;
    out.truncate(qsizetype(size));
    return out;
}

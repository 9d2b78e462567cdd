#include "TestImages.h"

#include <QBuffer>
#include <QImageReader>
#include <QRandomGenerator>

#include <png.h>
#include <turbojpeg.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <vector>

namespace TestImages {
namespace {

void appendBytes(std::vector<unsigned char>* out, const unsigned char* data, std::size_t size) {
    out->insert(out->end(), data, data + size);
}

void writeToVector(png_structp png, png_bytep data, png_size_t length) {
    appendBytes(static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png)), data, length);
}

void noFlush(png_structp) {}

// A little-endian TIFF block with one IFD entry: orientation.
std::vector<unsigned char> exifBlock(int orientation) {
    return {'I',
            'I',
            0x2A,
            0x00,
            0x08,
            0x00,
            0x00,
            0x00, // header, IFD at 8
            0x01,
            0x00, // one entry
            0x12,
            0x01,
            0x03,
            0x00,
            0x01,
            0x00,
            0x00,
            0x00, // orientation, SHORT, 1
            static_cast<unsigned char>(orientation),
            0x00,
            0x00,
            0x00, // value
            0x00,
            0x00,
            0x00,
            0x00}; // no next IFD
}

// Everything libpng needs, as plain data, so that a longjmp skips no destructor.
struct PngWriteJob {
    std::vector<unsigned char>* out;
    int width;
    int height;
    int colorType;
    int bitDepth;
    int interlace;
    png_bytepp rows;
    png_colorp palette;
    int paletteSize;
    png_bytep exif;
    int exifSize;
};

bool writePng(PngWriteJob* job) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, job->out, writeToVector, noFlush);
    png_set_IHDR(png, info, png_uint_32(job->width), png_uint_32(job->height), job->bitDepth, job->colorType,
                 job->interlace, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (job->palette)
        png_set_PLTE(png, info, job->palette, job->paletteSize);
    if (job->exif)
        png_set_eXIf_1(png, info, png_uint_32(job->exifSize), job->exif);
    png_write_info(png, info);
    if (job->bitDepth == 16)
        png_set_swap(png); // rows below are in host (little-endian) order
    png_write_image(png, job->rows);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

QImage halves(int width, int height, QColor left, QColor right) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixelColor(x, y, x < width / 2 ? left : right);
    return image;
}

QImage noise(int width, int height, quint32 seed) {
    QRandomGenerator random(seed);
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y) {
        uchar* line = image.scanLine(y);
        for (int i = 0; i < width * 3; ++i)
            line[i] = uchar(random.bounded(256));
    }
    return image;
}

QByteArray png(const QImage& picture, PngKind kind, std::optional<int> orientation) {
    const int width = picture.width();
    const int height = picture.height();
    std::vector<unsigned char> out;
    std::vector<std::vector<unsigned char>> rows(static_cast<std::size_t>(height));
    std::vector<png_color> palette;
    PngWriteJob job{&out, width,   height, PNG_COLOR_TYPE_RGB, 8, PNG_INTERLACE_NONE, nullptr, nullptr,
                    0,    nullptr, 0};
    const QImage rgba = picture.convertToFormat(QImage::Format_RGBA8888);
    for (int y = 0; y < height; ++y) {
        const uchar* source = rgba.constScanLine(y);
        auto& row = rows[std::size_t(y)];
        for (int x = 0; x < width; ++x) {
            const uchar* p = source + x * 4;
            switch (kind) {
            case PngKind::rgb:
            case PngKind::interlaced:
                row.insert(row.end(), {p[0], p[1], p[2]});
                break;
            case PngKind::rgba:
                row.insert(row.end(), {p[0], p[1], p[2], p[3]});
                break;
            case PngKind::gray:
                row.push_back(uchar((p[0] * 299 + p[1] * 587 + p[2] * 114) / 1000));
                break;
            case PngKind::sixteenBit:
                for (int c = 0; c < 3; ++c) {
                    const quint16 wide = quint16(p[c] * 257);
                    row.insert(row.end(), {uchar(wide & 0xFF), uchar(wide >> 8)});
                }
                break;
            case PngKind::palette: {
                const png_color colour{p[0], p[1], p[2]};
                std::size_t index = 0;
                while (index < palette.size() && std::memcmp(&palette[index], &colour, sizeof colour) != 0)
                    ++index;
                if (index == palette.size())
                    palette.push_back(colour);
                row.push_back(uchar(index));
                break;
            }
            }
        }
    }
    switch (kind) {
    case PngKind::rgba:
        job.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
        break;
    case PngKind::gray:
        job.colorType = PNG_COLOR_TYPE_GRAY;
        break;
    case PngKind::sixteenBit:
        job.bitDepth = 16;
        break;
    case PngKind::palette:
        job.colorType = PNG_COLOR_TYPE_PALETTE;
        break;
    case PngKind::interlaced:
        job.interlace = PNG_INTERLACE_ADAM7;
        break;
    case PngKind::rgb:
        break;
    }
    std::vector<png_bytep> rowPointers;
    for (auto& row : rows)
        rowPointers.push_back(row.data());
    job.rows = rowPointers.data();
    if (kind == PngKind::palette) {
        job.palette = palette.data();
        job.paletteSize = int(palette.size());
    }
    std::vector<unsigned char> exif;
    if (orientation) {
        exif = exifBlock(*orientation);
        job.exif = exif.data();
        job.exifSize = int(exif.size());
    }
    if (!writePng(&job))
        return {};
    return QByteArray(reinterpret_cast<const char*>(out.data()), qsizetype(out.size()));
}

QByteArray jpeg(const QImage& picture, int quality, std::optional<int> orientation) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    tjhandle encoder = tjInitCompress();
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const int status = tjCompress2(encoder, rgb.constBits(), rgb.width(), int(rgb.bytesPerLine()),
                                   rgb.height(), TJPF_RGB, &buffer, &size, TJSAMP_420, quality, 0);
    QByteArray out =
        status == 0 ? QByteArray(reinterpret_cast<const char*>(buffer), qsizetype(size)) : QByteArray();
    tjFree(buffer);
    tjDestroy(encoder);
    if (out.isEmpty() || !orientation)
        return out;
    const std::vector<unsigned char> tiff = exifBlock(*orientation);
    QByteArray segment("\xFF\xE1", 2);
    const int length = 2 + 6 + int(tiff.size());
    segment.append(char(length >> 8)).append(char(length & 0xFF));
    segment.append("Exif\0\0", 6);
    segment.append(reinterpret_cast<const char*>(tiff.data()), qsizetype(tiff.size()));
    return out.left(2) + segment + out.mid(2); // right after the start-of-image marker
}

QByteArray progressiveJpeg(const QImage& picture, int quality) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    tjhandle encoder = tjInitCompress();
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const int status =
        tjCompress2(encoder, rgb.constBits(), rgb.width(), int(rgb.bytesPerLine()), rgb.height(), TJPF_RGB,
                    &buffer, &size, TJSAMP_444, quality, TJFLAG_PROGRESSIVE);
    QByteArray out =
        status == 0 ? QByteArray(reinterpret_cast<const char*>(buffer), qsizetype(size)) : QByteArray();
    tjFree(buffer);
    tjDestroy(encoder);
    return out;
}

QImage decoded(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    return reader.read();
}

std::optional<int> jpegQuality(const QByteArray& jpeg) {
    // libjpeg's standard luminance table (natural order) and the zigzag order files store it in.
    static constexpr int standard[64] = {
        16, 11,  10,  16, 24, 40, 51, 61, 12,  12,  14,  19,  26, 58, 60, 55,  14,  13,  16,  24, 40, 57,
        69, 56,  14,  17, 22, 29, 51, 87, 80,  62,  18,  22,  37, 56, 68, 109, 103, 77,  24,  35, 55, 64,
        81, 104, 113, 92, 49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98,  112, 100, 103, 99};
    static constexpr int zigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                       12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                       35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                       58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
    const qsizetype table = jpeg.indexOf(QByteArray("\xFF\xDB", 2));
    // Segment: marker, length (2), precision and table id (1), then 64 eight-bit steps.
    if (table < 0 || table + 5 + 64 > jpeg.size() || (uchar(jpeg[table + 4]) >> 4) != 0)
        return std::nullopt;
    for (int quality = 1; quality <= 100; ++quality) {
        const int scale = quality < 50 ? 5000 / quality : 200 - quality * 2;
        bool same = true;
        for (int i = 0; i < 64 && same; ++i) {
            const int step = std::clamp((standard[zigzag[i]] * scale + 50) / 100, 1, 255);
            same = step == uchar(jpeg[table + 5 + i]);
        }
        if (same)
            return quality;
    }
    return std::nullopt;
}

} // namespace TestImages

#pragma once

#include "morvik_delivery_export.h"

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <optional>

// The image reading and writing behind snapshot preparation. PNG is decoded row by row with libpng
// and shrunk on the fly, JPEG is decoded at a reduced scale with libturbojpeg, and other formats go
// through Qt's image readers; every picture is encoded with libturbojpeg. Orientation tags (JPEG EXIF
// and PNG eXIf) are applied.
//
// Every decoder is asked for the picture's size first, and a picture above the limits below is
// refused before anything of its size is allocated or decompressed. Decoding is CPU-bound and may
// take a good part of a second at the limit: callers with an event loop run it on a worker thread.
class MORVIK_DELIVERY_EXPORT ScreenshotImage {
public:
    enum class Encoding { png, jpeg, other };

    // Reads only what is needed to know the picture: format and stored pixel size. Absent when the
    // bytes are not a readable image, when the format does not tell the size up front, or when the
    // picture is above the limits.
    static std::optional<ScreenshotImage> open(const QByteArray& bytes);

    Encoding encoding() const { return encoding_; }
    // The stored size, before orientation; both at least 1 and within the limits.
    int pixelWidth() const { return size_.width(); }
    int pixelHeight() const { return size_.height(); }

    // Image 0 decoded from the full image, shrunk so that its longest side is at most longSide (never
    // enlarged), orientation applied; RGB888. Absent when decoding fails.
    std::optional<QImage> thumbnail(int longSide) const;

    // One baseline JPEG at the given quality (1 to 100); absent when encoding fails.
    static std::optional<QByteArray> encodeJpeg(const QImage& picture, int quality);

    // Pictures with more pixels than this are not decoded at all (decompression bombs). 8192 x 8192
    // holds an 8K screen twice over, or a desktop of four 4K screens, with room to spare. At four
    // bytes a pixel it is also the most any path holds at once: an interlaced PNG and Qt's readers
    // need the whole picture (256 MiB, the same as Qt's own default allocation limit), and a
    // progressive JPEG all of its coefficients, so one needing more than that is refused below the
    // pixel limit; everything else is decoded row by row or at a reduced scale.
    static constexpr qint64 maxPixels = qint64(8192) * 8192;
    // And no side longer than this (the most a JPEG can have): the row buffers grow with the width.
    static constexpr int maxSide = 65535;
    static bool withinLimits(qint64 width, qint64 height) {
        return width >= 1 && height >= 1 && width <= maxSide && height <= maxSide &&
               width * height <= maxPixels;
    }

private:
    ScreenshotImage(const QByteArray& bytes, Encoding encoding, QSize size)
        : bytes_(bytes)
        , encoding_(encoding)
        , size_(size) {}

    std::optional<QImage> pngThumbnail(int longSide) const;
    // turboCannot: set when libturbojpeg cannot decode this JPEG at all (no header it reads, or CMYK).
    std::optional<QImage> jpegThumbnail(int longSide, bool* turboCannot) const;
    std::optional<QImage> genericThumbnail(int longSide) const;

    QByteArray bytes_;
    Encoding encoding_;
    QSize size_;
};

#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <optional>

// The image reading and writing behind snapshot preparation. PNG is decoded row by row with libpng
// and shrunk on the fly, JPEG is decoded at a reduced scale with libturbojpeg, and other formats go
// through Qt's image readers; every picture is encoded with libturbojpeg. Orientation tags (JPEG EXIF
// and PNG eXIf) are applied.
class ScreenshotImage {
public:
    enum class Encoding { png, jpeg, other };

    // Reads only what is needed to know the picture: format and stored pixel size. Absent when the
    // bytes are not a readable image, or one too large to decode safely.
    static std::optional<ScreenshotImage> open(const QByteArray& bytes);

    Encoding encoding() const { return encoding_; }
    // The stored size, before orientation; 0 when the format does not say.
    int pixelWidth() const { return size_.width(); }
    int pixelHeight() const { return size_.height(); }

    // Image 0 decoded from the full image, shrunk so that its longest side is at most longSide (never
    // enlarged), orientation applied; RGB888. Absent when decoding fails.
    std::optional<QImage> thumbnail(int longSide) const;

    // One baseline JPEG at the given quality (1 to 100); absent when encoding fails.
    static std::optional<QByteArray> encodeJpeg(const QImage& picture, int quality);

    // Pictures with more pixels than this are not decoded at all (decompression bombs).
    static constexpr qint64 maxPixels = qint64(1) << 28;

private:
    ScreenshotImage(const QByteArray& bytes, Encoding encoding, QSize size)
        : bytes_(bytes)
        , encoding_(encoding)
        , size_(size) {}

    std::optional<QImage> pngThumbnail(int longSide) const;
    std::optional<QImage> jpegThumbnail(int longSide) const;
    std::optional<QImage> genericThumbnail(int longSide) const;

    QByteArray bytes_;
    Encoding encoding_;
    QSize size_;
};

#include "ExifOrientation.h"

#include <cstring>

namespace {

struct TiffReader {
    const std::uint8_t* data;
    std::size_t size;
    bool littleEndian;

    bool has(std::size_t offset, std::size_t length) const {
        return offset <= size && length <= size - offset;
    }
    std::uint16_t u16(std::size_t offset) const {
        return littleEndian ? std::uint16_t(data[offset] | data[offset + 1] << 8)
                            : std::uint16_t(data[offset] << 8 | data[offset + 1]);
    }
    std::uint32_t u32(std::size_t offset) const {
        return littleEndian
                   ? std::uint32_t(data[offset]) | std::uint32_t(data[offset + 1]) << 8 |
                         std::uint32_t(data[offset + 2]) << 16 | std::uint32_t(data[offset + 3]) << 24
                   : std::uint32_t(data[offset]) << 24 | std::uint32_t(data[offset + 1]) << 16 |
                         std::uint32_t(data[offset + 2]) << 8 | std::uint32_t(data[offset + 3]);
    }
};

constexpr std::uint16_t orientationTag = 0x0112;
constexpr std::uint16_t shortType = 3;

} // namespace

int ExifOrientation::fromTiff(const std::uint8_t* data, std::size_t size) {
    if (!data || size < 8)
        return 1;
    TiffReader tiff{data, size, false};
    if (std::memcmp(data, "II*\0", 4) == 0)
        tiff.littleEndian = true;
    else if (std::memcmp(data, "MM\0*", 4) != 0)
        return 1;
    const std::uint32_t ifd = tiff.u32(4);
    if (!tiff.has(ifd, 2))
        return 1;
    const std::uint16_t count = tiff.u16(ifd);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = std::size_t(ifd) + 2 + std::size_t(i) * 12;
        if (!tiff.has(entry, 12))
            return 1;
        if (tiff.u16(entry) != orientationTag)
            continue;
        if (tiff.u16(entry + 2) != shortType || tiff.u32(entry + 4) < 1)
            return 1;
        const int value = tiff.u16(entry + 8);
        return value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

int ExifOrientation::fromJpeg(const QByteArray& jpeg) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(jpeg.constData());
    const std::size_t size = std::size_t(jpeg.size());
    if (size < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return 1;
    std::size_t position = 2;
    // Walk the marker segments up to the start of scan; EXIF lives in an APP1 segment near the top.
    while (position + 4 <= size) {
        if (bytes[position] != 0xFF)
            return 1;
        const std::uint8_t marker = bytes[position + 1];
        if (marker == 0xFF) {
            ++position;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9)
            return 1;
        const std::size_t length = std::size_t(bytes[position + 2]) << 8 | bytes[position + 3];
        if (length < 2 || position + 2 + length > size)
            return 1;
        const std::uint8_t* segment = bytes + position + 4;
        const std::size_t segmentSize = length - 2;
        if (marker == 0xE1 && segmentSize >= 6 && std::memcmp(segment, "Exif\0\0", 6) == 0)
            return fromTiff(segment + 6, segmentSize - 6);
        position += 2 + length;
    }
    return 1;
}

QImage ExifOrientation::applied(const QImage& stored, int orientation) {
    if (orientation <= 1 || orientation > 8 || stored.isNull())
        return stored;
    const int w = stored.width();
    const int h = stored.height();
    const bool swap = swapsSides(orientation);
    QImage out(swap ? h : w, swap ? w : h, stored.format());
    if (out.isNull())
        return {};
    const int bytesPerPixel = stored.depth() / 8;
    for (int y = 0; y < out.height(); ++y) {
        std::uint8_t* target = out.scanLine(y);
        for (int x = 0; x < out.width(); ++x) {
            // (x, y) in the upright picture comes from (sx, sy) in the stored one.
            int sx = 0;
            int sy = 0;
            switch (orientation) {
            case 2:
                sx = w - 1 - x;
                sy = y;
                break; // mirrored left-right
            case 3:
                sx = w - 1 - x;
                sy = h - 1 - y;
                break; // turned half way
            case 4:
                sx = x;
                sy = h - 1 - y;
                break; // mirrored top-bottom
            case 5:
                sx = y;
                sy = x;
                break; // transposed
            case 6:
                sx = y;
                sy = h - 1 - x;
                break; // needs a clockwise quarter turn
            case 7:
                sx = w - 1 - y;
                sy = h - 1 - x;
                break; // transversed
            case 8:
                sx = w - 1 - y;
                sy = x;
                break; // needs a counter-clockwise quarter turn
            default:
                break;
            }
            std::memcpy(target + std::size_t(x) * bytesPerPixel,
                        stored.constScanLine(sy) + std::size_t(sx) * bytesPerPixel, bytesPerPixel);
        }
    }
    return out;
}

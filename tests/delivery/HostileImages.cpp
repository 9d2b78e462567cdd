#include "HostileImages.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <vector>

namespace HostileImages {
namespace {

void appendBigEndian(QByteArray& out, quint32 value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char((value >> shift) & 0xFF));
}

void appendChunk(QByteArray& out, const char* type, const QByteArray& data) {
    appendBigEndian(out, quint32(data.size()));
    const QByteArray typed = QByteArray(type, 4) + data;
    out.append(typed);
    appendBigEndian(out,
                    quint32(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), uInt(typed.size()))));
}

// Deflates `size` zero bytes without ever holding them: one zeroed block fed again and again.
QByteArray deflatedZeros(quint64 size) {
    z_stream stream{};
    deflateInit(&stream, 9);
    std::vector<Bytef> zeros(1 << 20, 0);
    std::vector<Bytef> out(1 << 16);
    QByteArray result;
    quint64 left = size;
    int flush = Z_NO_FLUSH;
    do {
        const auto piece = uInt(std::min<quint64>(left, zeros.size()));
        left -= piece;
        flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        stream.next_in = zeros.data();
        stream.avail_in = piece;
        do {
            stream.next_out = out.data();
            stream.avail_out = uInt(out.size());
            deflate(&stream, flush);
            result.append(reinterpret_cast<const char*>(out.data()),
                          qsizetype(out.size() - stream.avail_out));
        } while (stream.avail_out == 0);
    } while (flush != Z_FINISH);
    deflateEnd(&stream);
    return result;
}

// Filtered bytes of the whole picture: one filter byte per row, per interlace pass.
quint64 rawSize(quint64 width, quint64 height, quint64 bitsPerPixel, bool interlaced) {
    const auto rows = [&](quint64 w, quint64 h) { return w == 0 ? 0 : h * (1 + (w * bitsPerPixel + 7) / 8); };
    if (!interlaced)
        return rows(width, height);
    // Adam7: start column, start row, column step and row step of each pass.
    static constexpr std::array<std::array<quint64, 4>, 7> passes{
        {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}};
    quint64 total = 0;
    for (const auto& p : passes) {
        const quint64 w = width > p[0] ? (width - p[0] + p[2] - 1) / p[2] : 0;
        const quint64 h = height > p[1] ? (height - p[1] + p[3] - 1) / p[3] : 0;
        total += rows(w, h);
    }
    return total;
}

} // namespace

QByteArray zeroPng(quint32 width, quint32 height, PngLayout layout, bool complete) {
    const bool interlaced = layout == PngLayout::interlacedRgb8;
    const int bitDepth = layout == PngLayout::rgba16 ? 16 : 8;
    const int colourType = layout == PngLayout::rgba16 ? 6 : 2;
    const quint64 bitsPerPixel = layout == PngLayout::rgba16 ? 64 : 24;

    QByteArray png("\x89PNG\r\n\x1A\n", 8);
    QByteArray header;
    appendBigEndian(header, width);
    appendBigEndian(header, height);
    header.append(char(bitDepth))
        .append(char(colourType))
        .append('\0')
        .append('\0')
        .append(char(interlaced ? 1 : 0));
    appendChunk(png, "IHDR", header);
    const quint64 all = rawSize(width, height, bitsPerPixel, interlaced);
    appendChunk(png, "IDAT", deflatedZeros(complete ? all : std::min<quint64>(all, 4096)));
    appendChunk(png, "IEND", QByteArray());
    return png;
}

QByteArray jpegClaiming(QByteArray jpeg, quint16 width, quint16 height) {
    // The first start-of-frame marker (baseline, extended or progressive): length (2), precision (1),
    // height (2), width (2).
    for (qsizetype i = 2; i + 9 < jpeg.size(); ++i) {
        if (uchar(jpeg[i]) == 0xFF && uchar(jpeg[i + 1]) >= 0xC0 && uchar(jpeg[i + 1]) <= 0xC2) {
            jpeg[i + 5] = char(height >> 8);
            jpeg[i + 6] = char(height & 0xFF);
            jpeg[i + 7] = char(width >> 8);
            jpeg[i + 8] = char(width & 0xFF);
            return jpeg;
        }
    }
    return {};
}

} // namespace HostileImages

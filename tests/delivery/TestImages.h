#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>

#include <optional>

// Encoded pictures for the preparation and upload tests, written with the same libraries a camera or
// screenshot tool would use, and readers that look inside the results.
namespace TestImages {

enum class PngKind { rgb, rgba, gray, palette, sixteenBit, interlaced };

// A picture whose left half is `left` and right half `right` (alpha from the colours).
QImage halves(int width, int height, QColor left, QColor right);
// Deterministic noise that JPEG cannot compress well.
QImage noise(int width, int height, quint32 seed);

// PNG through libpng in the given layout; with an orientation, an eXIf chunk carries it.
QByteArray png(const QImage& picture, PngKind kind = PngKind::rgb, std::optional<int> orientation = {});
// Baseline JPEG through libturbojpeg; with an orientation, an APP1 EXIF segment carries it.
QByteArray jpeg(const QImage& picture, int quality, std::optional<int> orientation = {});

// Progressive JPEG at 4:4:4 through libturbojpeg.
QByteArray progressiveJpeg(const QImage& picture, int quality);

// The picture in the bytes, decoded by Qt without applying any orientation.
QImage decoded(const QByteArray& bytes);
// The quality (1 to 100) whose standard luminance table the JPEG uses, from its first DC step;
// absent when the bytes have no quantisation table.
std::optional<int> jpegQuality(const QByteArray& jpeg);

} // namespace TestImages

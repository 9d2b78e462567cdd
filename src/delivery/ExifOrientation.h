#pragma once

#include "morvik_delivery_export.h"

#include <QByteArray>
#include <QImage>

#include <cstddef>
#include <cstdint>

// The EXIF orientation tag (1 to 8) of an image and how to apply it. 1 means "as stored"; every
// unreadable or missing tag counts as 1.
class MORVIK_DELIVERY_EXPORT ExifOrientation {
public:
    // From an EXIF block that starts with the TIFF header ("II*\0" or "MM\0*"), as a PNG eXIf chunk
    // holds it.
    static int fromTiff(const std::uint8_t* data, std::size_t size);
    // From the first APP1 "Exif" segment of a JPEG file.
    static int fromJpeg(const QByteArray& jpeg);

    // Orientations 5 to 8 turn the picture by a quarter, so width and height trade places.
    static bool swapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

    // The picture as it is meant to be seen.
    static QImage applied(const QImage& stored, int orientation);
};

#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// The benchmark's pictures, made the same way on every run: screenshot-like PNGs (text, flat areas,
// gradients, a photo region), a camera-like JPEG turned by its EXIF tag, and a small JPEG that is
// already within the limits.
class BenchInputs {
public:
    // A desktop with windows of text, flat panels, gradients and a photo; opaque ARGB32.
    static QImage screenshot(int width, int height, quint32 seed);
    // A smooth scene with fine grain, like a camera picture.
    static QImage photo(int width, int height, quint32 seed);

    // PNG through Qt's writer (libpng), as screenshot tools write it.
    static QByteArray png(const QImage& picture);
    // Baseline JPEG at the quality; with orientation, an EXIF block carries it.
    static QByteArray jpeg(const QImage& picture, int quality, int orientation = 0);
    // The JPEG whose size is closest to the target over the qualities 30 to 98.
    static QByteArray jpegNear(const QImage& picture, qsizetype targetBytes);
};

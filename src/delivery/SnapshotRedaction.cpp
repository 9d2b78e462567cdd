#include "SnapshotRedaction.h"

#include "ScreenshotImage.h"

#include <QPainter>

#include <cmath>

QRectF SnapshotRedaction::clipped(const QRectF& area) {
    const QRectF clip = area.normalized().intersected(QRectF(0, 0, 1, 1));
    return clip.isValid() ? clip : QRectF();
}

void SnapshotRedaction::paint(QImage& picture, const QList<QRectF>& areas) {
    if (picture.isNull() || areas.isEmpty())
        return;
    QPainter painter(&picture);
    for (const QRectF& area : areas) {
        const QRectF part = clipped(area);
        if (part.isEmpty())
            continue;
        const int left = int(std::floor(part.left() * picture.width()));
        const int top = int(std::floor(part.top() * picture.height()));
        const int right = int(std::ceil(part.right() * picture.width()));
        const int bottom = int(std::ceil(part.bottom() * picture.height()));
        painter.fillRect(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)), Qt::black);
    }
}

std::optional<QByteArray> SnapshotRedaction::burn(const QByteArray& snapshot, const QList<QRectF>& areas) {
    const std::optional<ScreenshotImage> image = ScreenshotImage::open(snapshot);
    if (!image)
        return std::nullopt;
    // The whole picture: a long side as long as the stored one never shrinks it.
    std::optional<QImage> picture = image->thumbnail(qMax(image->pixelWidth(), image->pixelHeight()));
    if (!picture || picture->isNull())
        return std::nullopt;
    paint(*picture, areas);
    // A JPEG of high quality: the upload's preparation scales and compresses it again, as it would
    // the original, and a lossless encoding of a large screen would take several times longer than
    // the preparation itself (bench/screenshot redaction_bench).
    return ScreenshotImage::encodeJpeg(*picture, burntQuality);
}

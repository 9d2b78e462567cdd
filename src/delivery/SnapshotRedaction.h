#pragma once

#include "morvik_delivery_export.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRectF>

#include <optional>

// The parts of a snapshot the user blacked out before sending. Areas are fractions of the picture as
// it is shown (orientation applied): 0,0 the top left corner, 1,1 the bottom right, so that they hold
// for the small picture on screen and for the full one alike.
class MORVIK_DELIVERY_EXPORT SnapshotRedaction {
public:
    // The area clipped to the picture; empty when nothing of it lies inside.
    static QRectF clipped(const QRectF& area);

    // Blacks out the areas on a decoded picture, in place. Edges are rounded outwards, so that no
    // partly covered pixel keeps what it showed.
    static void paint(QImage& picture, const QList<QRectF>& areas);

    // The JPEG quality of a burnt picture.
    static constexpr int burntQuality = 95;

    // The snapshot with the areas burnt into its pixels, as a JPEG of the full picture (orientation
    // applied, so the bytes carry no orientation tag that could turn the areas elsewhere). Absent when
    // the bytes are not a picture within the limits or cannot be encoded: the caller then sends no
    // snapshot at all rather than the original. CPU-bound: run it on a worker thread.
    static std::optional<QByteArray> burn(const QByteArray& snapshot, const QList<QRectF>& areas);
};

#pragma once

#include <QByteArray>
#include <QtGlobal>

// Pictures made to hurt a decoder, built byte by byte at test time instead of being checked in: PNGs
// whose header promises a huge picture, with a few bytes or all of their (all-zero, so tiny when
// compressed) pixel data behind it, and JPEGs whose frame header claims a size they do not hold.
namespace HostileImages {

enum class PngLayout {
    rgb8,           // 3 bytes a pixel
    rgba16,         // 8 bytes a pixel: the most work a pixel can make
    interlacedRgb8, // Adam7: a decoder that wants every pass at once needs the whole picture
};

// A PNG of width x height black pixels. With `complete` false, the data stops after a few rows'
// worth (a decoder that allocates before it decodes already shows its cost); with `complete` true, all
// of it is there, which takes a decoder the full time.
QByteArray zeroPng(quint32 width, quint32 height, PngLayout layout, bool complete);

// The JPEG with the size in its frame header replaced (the pixel data stays that of the original).
QByteArray jpegClaiming(QByteArray jpeg, quint16 width, quint16 height);

} // namespace HostileImages

#include "BenchInputs.h"

#include <QBuffer>
#include <QFont>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>

#include <turbojpeg.h>

#include <cmath>

namespace {

const char* const words[] = {"feedback", "report", "window", "snapshot", "upload", "service",  "budget",
                             "preview",  "export", "layers", "history",  "colour", "settings", "the",
                             "a",        "of",     "and",    "render",   "queue",  "timeline"};

QString sentence(QRandomGenerator& random, int count) {
    QStringList parts;
    for (int i = 0; i < count; ++i)
        parts << QString::fromLatin1(words[random.bounded(int(std::size(words)))]);
    return parts.join(u' ');
}

} // namespace

QImage BenchInputs::photo(int width, int height, quint32 seed) {
    QRandomGenerator random(seed);
    const double fx = 0.002 + random.bounded(0.004);
    const double fy = 0.003 + random.bounded(0.004);
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            // Broad shapes and light, plus sensor-like grain.
            const double sky = 0.5 + 0.5 * std::sin(x * fx + std::cos(y * fy) * 2.0);
            const double hills = 0.5 + 0.5 * std::sin(y * fy * 1.7 + std::sin(x * fx * 0.6) * 3.0);
            const int grain = int(random.bounded(21)) - 10;
            line[x * 3 + 0] = uchar(std::clamp(int(40 + 170 * sky * hills) + grain, 0, 255));
            line[x * 3 + 1] = uchar(std::clamp(int(60 + 150 * hills) + grain, 0, 255));
            line[x * 3 + 2] = uchar(std::clamp(int(90 + 140 * (1.0 - hills) * sky) + grain, 0, 255));
        }
    }
    return image;
}

QImage BenchInputs::screenshot(int width, int height, quint32 seed) {
    QRandomGenerator random(seed);
    const double scale = width / 2560.0; // a high-density screen draws everything larger
    QImage image(width, height, QImage::Format_ARGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient wallpaper(0, 0, width, height);
    wallpaper.setColorAt(0, QColor(38, 70, 120));
    wallpaper.setColorAt(1, QColor(160, 90, 140));
    painter.fillRect(image.rect(), wallpaper);

    // The photo region: a picture open in a viewer.
    const QRect photoRect(int(width * 0.55), int(height * 0.08), int(width * 0.40), int(height * 0.45));
    painter.drawImage(photoRect, photo(photoRect.width(), photoRect.height(), seed + 1));

    // Windows: a title bar gradient, a flat sidebar and a page of text.
    QFont font(QStringLiteral("DejaVu Sans"));
    for (int w = 0; w < 3; ++w) {
        const QRect frame(int(width * (0.03 + 0.16 * w)), int(height * (0.10 + 0.12 * w)), int(width * 0.48),
                          int(height * 0.55));
        painter.fillRect(frame, QColor(250, 250, 248));
        QLinearGradient title(frame.topLeft(), frame.topLeft() + QPoint(0, int(36 * scale)));
        title.setColorAt(0, QColor(236, 236, 236));
        title.setColorAt(1, QColor(214, 214, 214));
        painter.fillRect(QRect(frame.topLeft(), QSize(frame.width(), int(36 * scale))), title);
        painter.fillRect(QRect(frame.left(), frame.top() + int(36 * scale), int(frame.width() * 0.22),
                               frame.height() - int(36 * scale)),
                         QColor(232, 236, 242));
        font.setPixelSize(int(15 * scale));
        painter.setFont(font);
        painter.setPen(QColor(30, 30, 30));
        const int left = frame.left() + int(frame.width() * 0.25);
        for (int y = frame.top() + int(60 * scale); y < frame.bottom() - int(20 * scale);
             y += int(22 * scale))
            painter.drawText(QPoint(left, y), sentence(random, 8 + int(random.bounded(6))));
        painter.setPen(QColor(80, 90, 110));
        for (int y = frame.top() + int(60 * scale); y < frame.bottom() - int(20 * scale);
             y += int(28 * scale))
            painter.drawText(QPoint(frame.left() + int(12 * scale), y), sentence(random, 2));
        // A chart-like gradient panel.
        QLinearGradient bar(frame.left(), 0, frame.right(), 0);
        bar.setColorAt(0, QColor(90, 170, 240));
        bar.setColorAt(1, QColor(250, 200, 90));
        painter.fillRect(
            QRect(left, frame.bottom() - int(120 * scale), int(frame.width() * 0.6), int(80 * scale)), bar);
    }
    // A dock of flat icons.
    for (int i = 0; i < 14; ++i) {
        painter.setBrush(QColor::fromHsv((i * 25) % 360, 160, 220));
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(
            QRectF(width * 0.25 + i * 72 * scale, height - 90 * scale, 60 * scale, 60 * scale), 12 * scale,
            12 * scale);
    }
    painter.end();
    return image;
}

QByteArray BenchInputs::png(const QImage& picture) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.write(picture);
    return bytes;
}

QByteArray BenchInputs::jpeg(const QImage& picture, int quality, int orientation) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    tjhandle encoder = tjInitCompress();
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const int status = tjCompress2(encoder, rgb.constBits(), rgb.width(), int(rgb.bytesPerLine()),
                                   rgb.height(), TJPF_RGB, &buffer, &size, TJSAMP_420, quality, 0);
    QByteArray out =
        status == 0 ? QByteArray(reinterpret_cast<const char*>(buffer), qsizetype(size)) : QByteArray();
    tjFree(buffer);
    tjDestroy(encoder);
    if (out.isEmpty() || orientation == 0)
        return out;
    // APP1 "Exif": a little-endian TIFF header with one IFD entry, the orientation.
    const unsigned char tiff[] = {'I',
                                  'I',
                                  0x2A,
                                  0,
                                  8,
                                  0,
                                  0,
                                  0,
                                  1,
                                  0,
                                  0x12,
                                  0x01,
                                  3,
                                  0,
                                  1,
                                  0,
                                  0,
                                  0,
                                  static_cast<unsigned char>(orientation),
                                  0,
                                  0,
                                  0,
                                  0,
                                  0,
                                  0,
                                  0};
    QByteArray segment("\xFF\xE1", 2);
    const int length = 2 + 6 + int(sizeof tiff);
    segment.append(char(length >> 8)).append(char(length & 0xFF)).append("Exif\0\0", 6);
    segment.append(reinterpret_cast<const char*>(tiff), sizeof tiff);
    return out.left(2) + segment + out.mid(2);
}

QByteArray BenchInputs::jpegNear(const QImage& picture, qsizetype targetBytes) {
    QByteArray best;
    for (int quality = 30; quality <= 98; quality += 2) {
        QByteArray candidate = jpeg(picture, quality);
        if (best.isEmpty() || std::abs(candidate.size() - targetBytes) < std::abs(best.size() - targetBytes))
            best = std::move(candidate);
    }
    return best;
}

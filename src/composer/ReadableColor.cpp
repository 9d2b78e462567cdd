#include "ReadableColor.h"

#include <algorithm>
#include <cmath>

namespace {

double linear(double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

// The colour moved towards black (amount < 0) or white (amount > 0), 0..1 of the way.
QColor shifted(const QColor& color, double amount) {
    const QColor rgb = color.toRgb();
    const double target = amount < 0 ? 0.0 : 1.0;
    const double t = std::abs(amount);
    return QColor::fromRgbF(float(rgb.redF() + (target - rgb.redF()) * t),
                            float(rgb.greenF() + (target - rgb.greenF()) * t),
                            float(rgb.blueF() + (target - rgb.blueF()) * t), 1.0f);
}

} // namespace

double ReadableColor::luminance(const QColor& color) {
    const QColor rgb = color.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

double ReadableColor::contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableColor::over(const QColor& color, const QColor& background, double opacity) {
    const QColor top = color.toRgb();
    const QColor bottom = background.toRgb();
    const double a = std::clamp(top.alphaF() * opacity, 0.0, 1.0);
    return QColor::fromRgbF(float(top.redF() * a + bottom.redF() * (1 - a)),
                            float(top.greenF() * a + bottom.greenF() * (1 - a)),
                            float(top.blueF() * a + bottom.blueF() * (1 - a)), 1.0f);
}

QColor ReadableColor::readableOn(const QColor& text, const QColor& background, double ratio) {
    const QColor opaque = over(text, background);
    if (contrast(opaque, background) >= ratio)
        return text;
    // Darker text on a surface that black contrasts with more, lighter on one where white does; at
    // the end of the way, pure black or white.
    const bool lightSurface =
        contrast(QColor(Qt::black), background) >= contrast(QColor(Qt::white), background);
    const double direction = lightSurface ? -1.0 : 1.0;
    for (int step = 1; step <= 20; ++step) {
        const QColor candidate = shifted(opaque, direction * step / 20.0);
        if (contrast(candidate, background) >= ratio)
            return candidate;
    }
    return lightSurface ? QColor(Qt::black) : QColor(Qt::white);
}

#pragma once

#include "morvik_composer_export.h"

#include <QColor>

// Text colours that stay readable on the surface beneath them, by the contrast ratio of relative
// luminances (1:1 to 21:1). Body text wants 4.5:1 in every state and in light and dark palettes alike.
class MORVIK_COMPOSER_EXPORT ReadableColor {
public:
    static constexpr double bodyTextRatio = 4.5;

    // Relative luminance of the sRGB colour, 0 (black) to 1 (white); transparency ignored.
    static double luminance(const QColor& color);
    static double contrast(const QColor& a, const QColor& b);
    // The colour drawn at its own opacity (times `opacity`) over an opaque background.
    static QColor over(const QColor& color, const QColor& background, double opacity = 1.0);
    // The colour itself when it reaches the ratio on the background; otherwise the same hue made darker
    // (on a surface black contrasts with more) or lighter, step by step until it does, black or white
    // at the last.
    static QColor readableOn(const QColor& text, const QColor& background, double ratio = bodyTextRatio);
};

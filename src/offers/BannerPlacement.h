#pragma once

#include "morvik_offers_export.h"

#include <QRect>
#include <QRectF>
#include <QSizeF>

#include <optional>

// Where the offer banner goes, as arithmetic. Frames here are in screen points with the origin at the
// bottom-left corner of the primary screen and y growing upwards, (x, y) being a frame's bottom-left
// corner: the placement rules read naturally in these coordinates. toTopLeft converts at the edge to
// the top-left coordinates windows are placed in.
//
// The panel is the capsule plus transparent margins that leave room for its shadow: 34 points left and
// right, 12 above and 42 below a 54-point capsule, so always 108 high.
class MORVIK_OFFERS_EXPORT BannerPlacement {
public:
    static constexpr double capsuleHeight = 54;
    static constexpr double shadowSide = 34;
    static constexpr double shadowTop = 12;
    static constexpr double shadowBottom = 42;
    static constexpr double panelHeight = shadowTop + capsuleHeight + shadowBottom;
    static constexpr double narrowestCapsule = 280;
    static constexpr double widestCapsule = 460;
    // The width the panel has before its first placement (the widest capsule).
    static constexpr double initialPanelWidth = widestCapsule + 2 * shadowSide;

    // Window levels the panel takes: floating over the owner's window, status bar when alone.
    static constexpr int floatingLevel = 3;
    static constexpr int statusBarLevel = 25;
    // An own window at this level or above (a panel, a menu) is not a home for the banner.
    static constexpr int highestAnchorLevel = 3;
    // The screen assumed when there is none.
    static constexpr QRectF fallbackScreen{0, 0, 1440, 900};

    // The panel width for a window (or screen) of that width: the capsule is 24 points narrower than
    // the reference, kept between 280 and 460, plus the side margins.
    static double panelWidth(double referenceWidth);

    // Over the owner's front window: centred, the capsule's top 34 points below the window's top edge.
    static QRectF overOwnerWindow(const QRectF& ownerFrame);
    // In one of our own windows: centred, the capsule's top 6 points below the top of the window's
    // content area, whose top edge is `contentTop` points above the window's bottom edge.
    static QRectF inOwnWindow(const QRectF& windowFrame, double contentTop);
    // Alone near the top-right corner of the screen's visible area (the fallback screen without one):
    // the capsule's top 8 points below the area's top, its right edge 12 points from the right edge.
    static QRectF onScreen(const std::optional<QRectF>& visibleFrame);

    // Whether one of our own windows can carry the banner: visible, not the banner itself nor the
    // composer, at least 280 x 120 points, and at a normal or floating level.
    static bool canAnchor(bool visible, bool isBanner, bool isComposer, const QSizeF& size, int level);

    // The frame in top-left coordinates of a primary screen of that height, in whole points (rounded
    // outwards, so the capsule is never clipped).
    static QRect toTopLeft(const QRectF& frame, double primaryScreenHeight);
};

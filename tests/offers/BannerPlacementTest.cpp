#include "BannerPlacement.h"

#include <gtest/gtest.h>

#include <ostream>

inline void PrintTo(const QRectF& r, std::ostream* out) {
    *out << '(' << r.x() << ", " << r.y() << ", " << r.width() << ", " << r.height() << ')';
}
inline void PrintTo(const QRect& r, std::ostream* out) {
    *out << '(' << r.x() << ", " << r.y() << ", " << r.width() << ", " << r.height() << ')';
}

namespace {

TEST(BannerPlacement, PanelWidthFollowsTheReferenceWithinTheCapsuleBounds) {
    const struct {
        double reference, panel;
    } cases[] = {{600, 528}, {400, 444}, {300, 348}, {304, 348}, {305, 349},
                 {484, 528}, {483, 527}, {0, 348},   {5000, 528}};
    for (const auto& c : cases)
        EXPECT_EQ(BannerPlacement::panelWidth(c.reference), c.panel) << "reference " << c.reference;
    EXPECT_EQ(BannerPlacement::initialPanelWidth, 528);
    EXPECT_EQ(BannerPlacement::panelHeight, 108);
}

TEST(BannerPlacement, FramesInScreenPoints) {
    const struct {
        const char* name;
        QRectF frame;
        QRectF expected;
    } cases[] = {
        // Centred on the owner's window, the capsule's top 34 points below the window's top.
        {"owner window", BannerPlacement::overOwnerWindow(QRectF(100, 200, 800, 600)),
         QRectF(236, 670, 528, 108)},
        {"narrow owner window", BannerPlacement::overOwnerWindow(QRectF(0, 0, 300, 400)),
         QRectF(-24, 270, 348, 108)},
        // Our own window 320 wide whose content area tops out 100 points above its bottom edge.
        {"own window", BannerPlacement::inOwnWindow(QRectF(100, 100, 320, 130), 100),
         QRectF(78, 98, 364, 108)},
        {"screen", BannerPlacement::onScreen(QRectF(0, 0, 1440, 875)), QRectF(934, 771, 528, 108)},
        {"no screen", BannerPlacement::onScreen(std::nullopt), QRectF(934, 796, 528, 108)},
        {"second screen", BannerPlacement::onScreen(QRectF(1440, 100, 1920, 1080)),
         QRectF(2854, 1076, 528, 108)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.frame, c.expected) << c.name;
}

TEST(BannerPlacement, OnlyOrdinaryWindowsOfOursCarryTheBanner) {
    const struct {
        const char* name;
        bool visible, banner, composer;
        QSizeF size;
        int level;
        bool expected;
    } cases[] = {
        {"320 x 130", true, false, false, {320, 130}, 0, true},
        {"exactly 280 x 120, floating", true, false, false, {280, 120}, 3, true},
        {"279 wide", true, false, false, {279, 130}, 0, false},
        {"119 high", true, false, false, {320, 119}, 0, false},
        {"the composer", true, false, true, {460, 580}, 0, false},
        {"the banner", true, true, false, {528, 108}, 3, false},
        {"level 8", true, false, false, {800, 600}, 8, false},
        {"hidden", false, false, false, {800, 600}, 0, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BannerPlacement::canAnchor(c.visible, c.banner, c.composer, c.size, c.level), c.expected)
            << c.name;
}

TEST(BannerPlacement, TopLeftConversionRoundsOutwards) {
    // A primary screen 1000 high: the frame's top edge 778 above the bottom is 222 below the top.
    EXPECT_EQ(BannerPlacement::toTopLeft(QRectF(236, 670, 528, 108), 1000), QRect(236, 222, 528, 108));
    EXPECT_EQ(BannerPlacement::toTopLeft(QRectF(10.5, 20.25, 100, 50), 1000), QRect(10, 929, 101, 51));
    // Above the primary screen (a screen stacked over it) the top-left y is negative.
    EXPECT_EQ(BannerPlacement::toTopLeft(QRectF(0, 1100, 528, 108), 1000), QRect(0, -208, 528, 108));
}

} // namespace

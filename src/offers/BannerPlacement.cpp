#include "BannerPlacement.h"

#include <algorithm>
#include <cmath>

namespace {

// The panel starting at `x`, `width` wide, with the capsule's top edge at height `top`.
QRectF panelWithCapsuleTop(double x, double top, double width) {
    return QRectF(x, top + BannerPlacement::shadowTop - BannerPlacement::panelHeight, width,
                  BannerPlacement::panelHeight);
}

} // namespace

double BannerPlacement::panelWidth(double referenceWidth) {
    const double capsule = std::clamp(referenceWidth - 24, narrowestCapsule, widestCapsule);
    return capsule + 2 * shadowSide;
}

QRectF BannerPlacement::overOwnerWindow(const QRectF& ownerFrame) {
    const double width = panelWidth(ownerFrame.width());
    // The frame's y is its bottom edge, so its top edge is y + height.
    const double windowTop = ownerFrame.y() + ownerFrame.height();
    return panelWithCapsuleTop(ownerFrame.center().x() - width / 2, windowTop - shadowSide, width);
}

QRectF BannerPlacement::inOwnWindow(const QRectF& windowFrame, double contentTop) {
    const double width = panelWidth(windowFrame.width());
    return panelWithCapsuleTop(windowFrame.center().x() - width / 2, windowFrame.y() + contentTop - 6, width);
}

QRectF BannerPlacement::onScreen(const std::optional<QRectF>& visibleFrame) {
    const QRectF area = visibleFrame.value_or(fallbackScreen);
    const double areaRight = area.x() + area.width();
    const double areaTop = area.y() + area.height();
    return panelWithCapsuleTop(areaRight - initialPanelWidth - 12 + shadowSide, areaTop - 8,
                               initialPanelWidth);
}

bool BannerPlacement::canAnchor(bool visible, bool isBanner, bool isComposer, const QSizeF& size, int level) {
    return visible && !isBanner && !isComposer && size.width() >= narrowestCapsule && size.height() >= 120 &&
           level <= highestAnchorLevel;
}

QRect BannerPlacement::toTopLeft(const QRectF& frame, double primaryScreenHeight) {
    const double left = std::floor(frame.x());
    const double right = std::ceil(frame.x() + frame.width());
    const double top = std::floor(primaryScreenHeight - (frame.y() + frame.height()));
    const double bottom = std::ceil(primaryScreenHeight - frame.y());
    return QRect(int(left), int(top), int(right - left), int(bottom - top));
}

#include "OwnerWindowFrame.h"

#include "DesktopWindows.h"
#include "FeedbackExternalHost.h"

#include <QGuiApplication>
#include <QScreen>

namespace FeedbackExternalHost {

std::optional<DesktopWindow> frontWindow(const QList<DesktopWindow>& windows, std::int32_t ownerPID) {
    for (const DesktopWindow& entry : windows) {
        if (entry.pid != ownerPID)
            continue;
        if (entry.layer != DesktopWindows::normalLayer)
            continue;
        // Opacity 0 is an invisible window (a drag image, a hidden overlay), never the one to point at.
        if (entry.alpha && !(*entry.alpha > 0))
            continue;
        const QRect& bounds = entry.bounds;
        if (bounds.width() < minimumOwnerWindowWidth || bounds.height() < minimumOwnerWindowHeight)
            continue;
        return entry;
    }
    return std::nullopt;
}

namespace {

// A window list frame (top-left origin) in the placement rules' bottom-left coordinates.
QRectF flipped(const QRect& bounds, double primaryScreenHeight) {
    return QRectF(bounds.x(), primaryScreenHeight - bounds.y() - bounds.height(), bounds.width(),
                  bounds.height());
}

// The owner's front window in the desktop's list right now.
std::optional<DesktopWindow> ownerFrontWindow() {
    const auto owner = ownerPID();
    if (!owner)
        return std::nullopt;
    const auto windows = DesktopWindows::system().windowList();
    if (!windows)
        return std::nullopt;
    return frontWindow(*windows, *owner);
}

} // namespace

std::optional<QRectF> frontWindowFrame(const QList<DesktopWindow>& windows, std::int32_t ownerPID,
                                       double primaryScreenHeight) {
    const std::optional<DesktopWindow> front = frontWindow(windows, ownerPID);
    if (!front)
        return std::nullopt;
    return flipped(front->bounds, primaryScreenHeight);
}

std::optional<std::uint64_t> ownerFrontWindowId() {
    const std::optional<DesktopWindow> front = ownerFrontWindow();
    if (!front || front->nativeId == 0)
        return std::nullopt;
    return front->nativeId;
}

std::optional<QRectF> ownerWindowFrame() {
    const std::optional<DesktopWindow> front = ownerFrontWindow();
    if (!front)
        return std::nullopt;
    const QList<QScreen*> screens = QGuiApplication::screens();
    const double primaryScreenHeight = screens.isEmpty() ? 0 : screens.first()->geometry().height();
    return flipped(front->bounds, primaryScreenHeight);
}

} // namespace FeedbackExternalHost
